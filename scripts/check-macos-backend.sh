#!/usr/bin/env bash
# Type-checks the macOS backend off the Mac: every .mm file of src/platform/macos
# as Objective-C++ with ARC against GNUstep's Foundation and AppKit headers, and
# every .cpp file there as plain C++, with warnings as errors. Apple-only
# declarations GNUstep lacks come from tests/platform/macos/compat.
# Then the core and every file of the backend are compiled again for an Apple
# target at the app's deployment target against libc++ with Apple's
# availability markings (tests/platform/macos/apple_cxx), so that a library
# feature the oldest supported macOS lacks fails here as it does on the Mac.
#
#   scripts/check-macos-backend.sh              check the backend
#   scripts/check-macos-backend.sh --self-test  prove the check fails where it must
#   scripts/check-macos-backend.sh FILE...      check the given files
#
# Needs clang++, gcc's Objective-C runtime headers (libobjc-12-dev, a dependency
# of Debian's clang), GNUstep's headers (libgnustep-gui-dev) and the libc++
# headers of the same LLVM version as clang++ (libc++-dev).
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
compat="$root/tests/platform/macos/compat"
probe="$root/tests/platform/macos/typecheck_probe.mm"
availability_probe="$root/tests/platform/macos/availability_probe.mm"
cxx="${KESTRINE_CHECK_CXX:-clang++}"

die() {
  echo "check-macos-backend: $*" >&2
  exit 2
}

command -v "$cxx" >/dev/null 2>&1 || die "$cxx not found (apt-get install clang)"

gnustep_headers=""
if command -v gnustep-config >/dev/null 2>&1; then
  gnustep_headers="$(gnustep-config --variable=GNUSTEP_SYSTEM_HEADERS 2>/dev/null || true)"
fi
[ -n "$gnustep_headers" ] || gnustep_headers=/usr/include/GNUstep
if [ ! -f "$gnustep_headers/AppKit/AppKit.h" ] || [ ! -f "$gnustep_headers/Foundation/Foundation.h" ]; then
  die "GNUstep's AppKit and Foundation headers not found in $gnustep_headers (apt-get install libgnustep-gui-dev)"
fi

# GNUstep's headers include the Objective-C runtime's <objc/...>; on Debian
# only gcc's runtime provides them. Searched after everything else, so clang's
# own builtin headers keep precedence over gcc's.
runtime_headers="$(gcc -print-file-name=include 2>/dev/null || true)"
if [ ! -f "$runtime_headers/objc/objc.h" ]; then
  runtime_headers=""
  for header in /usr/lib/gcc/*/*/include/objc/objc.h; do
    [ -f "$header" ] && runtime_headers="$(dirname "$(dirname "$header")")"
  done
fi
[ -n "$runtime_headers" ] ||
  die "Objective-C runtime headers not found (apt-get install libobjc-12-dev, which clang brings)"

# The header CMake generates from the project's version and copyright line,
# made here the same way.
generated="$(mktemp -d)" || die "cannot make a temporary folder"
trap 'rm -rf "$generated"' EXIT
project_version="$(sed -n 's/^project(Kestrine VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
copyright="$(sed -n 's/^set(KESTRINE_COPYRIGHT "\(.*\)")$/\1/p' "$root/packaging/consistency.cmake")"
[ -n "$project_version" ] && [ -n "$copyright" ] || die "no version or copyright line found"
sed -e "s/@PROJECT_VERSION@/$project_version/" -e "s/@KESTRINE_COPYRIGHT@/$copyright/" \
  "$root/src/version.h.in" >"$generated/version.h"

deployment_target="$(sed -n 's/^set(CMAKE_OSX_DEPLOYMENT_TARGET "\([0-9.]*\)".*/\1/p' "$root/CMakeLists.txt")"
[ -n "$deployment_target" ] || die "no CMAKE_OSX_DEPLOYMENT_TARGET in CMakeLists.txt"
# GNUstep's own switch to its Apple API: NO_GNUSTEP leaves out its extensions
# (stringByTrimmingSpaces and the like), and GS_OPENSTEP_V, the deployment
# target in GNUstep's numbering (13.3 is 130300), whatever it marks as GNUstep's
# alone or as newer.
gnustep_api="$(awk -F. '{ printf "%d%02d%02d", $1, $2, $3 }' <<<"$deployment_target")"

compile_flags=(-std=c++20 -Wall -Wextra -Wpedantic -Werror -I "$root/src" -I "$generated")
common_flags=(-fsyntax-only "${compile_flags[@]}")
objcxx_flags=(
  -x objective-c++ -fobjc-runtime=gnustep-2.0 -fobjc-arc -fblocks -Wundeclared-selector
  # GNUstep's own headers do not pass these warnings, so they are system headers.
  -isystem "$gnustep_headers" -idirafter "$runtime_headers"
  -I "$compat" -include "$compat/no_ownership_transfer.h"
  -DGNUSTEP -DGNUSTEP_BASE_LIBRARY=1 -DGNU_GUI_LIBRARY=1 -DGNU_RUNTIME=1
  -DNO_GNUSTEP=1 -DGS_OPENSTEP_V="$gnustep_api"
)

# The Apple pass: libc++'s headers, clang's target for the Mac of this
# machine's architecture, and glibc's C headers standing in for Apple's.
llvm_major="$("$cxx" -dumpversion 2>/dev/null | cut -d. -f1)"
libcxx_headers="/usr/lib/llvm-$llvm_major/include/c++/v1"
[ -f "$libcxx_headers/__availability" ] ||
  die "libc++ headers not found in $libcxx_headers (apt-get install libc++-dev)"
multiarch="$(gcc -print-multiarch 2>/dev/null || true)"
case "$multiarch" in
  aarch64-*) apple_arch=arm64 ;;
  *) apple_arch=x86_64 ;;
esac
apple_flags=(
  -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -I "$root/src" -I "$generated"
  -nostdinc++ -isystem "$root/tests/platform/macos/apple_cxx" -isystem "$libcxx_headers"
  -idirafter "/usr/include/$multiarch"
  # Apple targets predefine __nonnull as a nullability keyword, which glibc's
  # attribute macro of that name must not turn into. libc++ expects the
  # BSD and POSIX parts of the C library, which glibc gives with _GNU_SOURCE,
  # and its *_l character classes as functions, not as glibc's macros.
  -U__nonnull -D_GNU_SOURCE -D__NO_CTYPE
)

# GNUstep's headers for Objective-C++ as above, with the runtime ABI that
# clang accepts for Apple's binary format (the 2.0 one is ELF only; nothing is
# generated anyway), and the SDK's <Block.h> from apple_cxx.
apple_objcxx_flags=("${objcxx_flags[@]/#-fobjc-runtime=gnustep-2.0/-fobjc-runtime=gnustep-1.9}")

# check_apple_file TARGET FILE [EXTRA_FLAG...]: compiles FILE for macOS TARGET.
check_apple_file() {
  local target="$1" file="$2" language=(-x c++)
  shift 2
  [[ "$file" == *.mm ]] && language=("${apple_objcxx_flags[@]}")
  "$cxx" --target="$apple_arch-apple-macos$target" "${apple_flags[@]}" "${language[@]}" "$@" \
    "$file" 2>&1
}

# check_apple FILE: the file for the deployment target.
check_apple() { check_apple_file "$deployment_target" "$1"; }

# check_file FILE [EXTRA_FLAG...]: prints the compiler's diagnostics, returns its status.
check_file() {
  local file="$1"
  shift
  case "$file" in
    *.mm) "$cxx" "${common_flags[@]}" "${objcxx_flags[@]}" "$@" "$file" 2>&1 ;;
    *) "$cxx" -x c++ "${common_flags[@]}" "$@" "$file" 2>&1 ;;
  esac
}

# analyze_file FILE [EXTRA_FLAG...]: clang's static analyzer with the Cocoa and
# CoreFoundation checkers (ownership of CF values, retain counts) besides the
# default core, C++ and Unix ones; every finding is an error.
analyze_file() {
  local file="$1" language=(-x c++)
  shift
  [[ "$file" == *.mm ]] && language=("${objcxx_flags[@]}")
  "$cxx" --analyze -Xanalyzer -analyzer-checker=osx,core,unix -Xanalyzer -analyzer-output=text \
    -Xclang -analyzer-werror -o /dev/null "${compile_flags[@]}" "${language[@]}" \
    "$@" "$file" 2>&1
}

# run_two_at_a_time LABEL COMMAND FILE...: COMMAND FILE for every file, two at a
# time; prints "ok" or "FAILED" with the output per file, returns 1 on a failure.
run_two_at_a_time() {
  local label="$1" command="$2" work failed=0 file i=0
  shift 2
  work="$(mktemp -d)" || return 1
  for file in "$@"; do
    i=$((i + 1))
    ("$command" "$file" >"$work/$i.log" || echo >"$work/$i.failed") &
    [ $((i % 2)) -eq 0 ] && wait
  done
  wait
  i=0
  for file in "$@"; do
    i=$((i + 1))
    if [ -e "$work/$i.failed" ]; then
      echo "FAILED  ${file#"$root"/}$label"
      cat "$work/$i.log"
      failed=1
    else
      echo "ok      ${file#"$root"/}$label"
    fi
  done
  rm -rf "$work"
  return $failed
}

# expect_failure DESCRIPTION EXPECTED COMMAND...: COMMAND must fail, and its
# output must contain EXPECTED.
expect_failure() {
  local description="$1" expected="$2" output
  shift 2
  if output="$("$@")"; then
    echo "FAILED  $description passed, expected: $expected"
    return 1
  elif grep -q -- "$expected" <<<"$output"; then
    echo "ok      $description fails: $expected"
  else
    echo "FAILED  $description failed without \"$expected\":"
    echo "$output"
    return 1
  fi
}

# check_menu_actions STATUS_BAR_SOURCE: compiles a message to the application
# delegate of application.mm for every selector the status bar gives its menu
# items ("terminate:" goes to NSApplication itself). The items carry their
# selector into AppKit's action dispatch, where no compiler follows it; a
# selector the delegate lacks would be a menu item that silently does nothing.
check_menu_actions() {
  local source="$1" names name receiver message work status output
  names="$(sed -n 's/^ *return @selector(\([^)]*\));$/\1/p' "$source")"
  [ -n "$names" ] || { echo "no menu action selectors found in $source"; return 1; }
  work="$(mktemp -d)" || return 1
  {
    echo "#include \"$root/src/platform/macos/application.mm\""
    echo "void kestrineMenuActions(KestrineApplicationDelegate* delegate, NSApplication* application) {"
    for name in $names; do
      receiver=delegate
      [ "$name" = "terminate:" ] && receiver=application
      message="${name//:/:nil }"
      echo "  [$receiver $message];"
    done
    echo "}"
  } >"$work/menu_actions.mm"
  output="$(check_file "$work/menu_actions.mm")"
  status=$?
  rm -rf "$work"
  [ $status -eq 0 ] || echo "$output"
  return $status
}

# check_cf_owned FILE...: every CFOwned made in FILE owns what it holds: it is
# made from a call whose name has Copy or Create in it, the functions that hand
# their caller a reference to release. The analyzer does not see through the
# wrapper, so a Get result wrapped in one (released without being owned)
# passes it. A reference or pointer to a CFOwned owns nothing and is skipped.
check_cf_owned() {
  perl -0777 -ne '
    my $file = $ARGV;
    next if $file =~ m{/cf_owned\.h$};
    while (/CFOwned<[^;{}()]*?>(?!\s*[&*])\s*([A-Za-z_]\w*)?\s*[({]\s*([A-Za-z_]\w*)?\s*(\()?/g) {
      my ($call, $paren) = ($2, $3);
      my $line = 1 + (substr($_, 0, $-[0]) =~ tr/\n//);
      if (!defined $call || !defined $paren) {
        print "$file:$line: a CFOwned made from something other than a Copy or Create call\n";
        $bad = 1;
      } elsif ($call !~ /Copy|Create/) {
        print "$file:$line: a CFOwned made from $call, whose result the caller does not own\n";
        $bad = 1;
      }
    }
    END { exit($bad ? 1 : 0) }
  ' "$@"
}

# check_menu_mapping STATUS_BAR_SOURCE APPLICATION_SOURCE: each menu action is
# sent under a selector (status_bar.mm) that the application delegate forwards
# as that same action (application.mm), and Quit as "terminate:". Swapped
# selectors compile and reach a method, just the wrong one.
check_menu_mapping() {
  local status_bar="$1" application="$2" sent forwarded action selector back failed=0
  sent="$(awk '
    /case MenuAction::k/ { match($0, /MenuAction::k[A-Za-z]+/); action = substr($0, RSTART + 13, RLENGTH - 13) }
    /return @selector\(/ && action != "" { match($0, /@selector\([^)]*\)/); print action, substr($0, RSTART + 10, RLENGTH - 11); action = "" }
  ' "$status_bar")"
  forwarded="$(awk '
    /^- \(/ { line = $0; sub(/\{.*/, "", line); sub(/^- \([^)]*\)/, "", line); selector = ""
               if (line ~ /:/) { while (match(line, /[A-Za-z]+:/)) { selector = selector substr(line, RSTART, RLENGTH); line = substr(line, RSTART + RLENGTH) } }
               else { match(line, /[A-Za-z]+/); selector = substr(line, RSTART, RLENGTH) } }
    /MenuAction::k[A-Za-z]+/ && selector != "" { match($0, /MenuAction::k[A-Za-z]+/); print selector, substr($0, RSTART + 13, RLENGTH - 13); selector = "" }
  ' "$application")"
  [ -n "$sent" ] || { echo "no menu actions found in $status_bar"; return 1; }
  while read -r action selector; do
    if [ "$action" = Quit ]; then
      [ "$selector" = "terminate:" ] && continue
      echo "kQuit is sent as $selector, not terminate:"
      failed=1
      continue
    fi
    back="$(awk -v s="$selector" '$1 == s { print $2 }' <<<"$forwarded")"
    if [ "$back" != "$action" ]; then
      echo "k$action is sent as $selector, which the application delegate forwards as k${back:-nothing}"
      failed=1
    fi
  done <<<"$sent"
  return $failed
}

check_backend() {
  local files=("$@") failed=0 file output
  if [ ${#files[@]} -eq 0 ]; then
    shopt -s nullglob
    files=("$root"/src/platform/macos/*.mm "$root"/src/platform/macos/*.cpp)
    shopt -u nullglob
    local mm=("$root"/src/platform/macos/*.mm)
    [ -e "${mm[0]}" ] || die "no .mm files in src/platform/macos"
  fi
  for file in "${files[@]}"; do
    if output="$(check_file "$file")"; then
      echo "ok      ${file#"$root"/}"
    else
      echo "FAILED  ${file#"$root"/}"
      echo "$output"
      failed=1
    fi
  done
  local apple=("${files[@]}")
  if [ $# -eq 0 ]; then
    # The core, and the runner every POSIX backend shares, build into the app.
    shopt -s nullglob
    apple=("$root"/src/*/*.cpp "$root"/src/platform/posix/*.cpp "${files[@]}")
    shopt -u nullglob
  fi
  run_two_at_a_time " for macOS $deployment_target" check_apple "${apple[@]}" || failed=1
  if [ $# -eq 0 ]; then
    # The backend and the Mac power driver, with the runner it starts tools through.
    shopt -s nullglob
    local analyzed=("${files[@]}" "$root"/src/mac_power/*.cpp "$root"/src/platform/posix/*.cpp)
    shopt -u nullglob
    run_two_at_a_time " under the static analyzer" analyze_file "${analyzed[@]}" || failed=1
  fi
  if [ $# -eq 0 ]; then
    # A source file the Mac build leaves out fails only there, at link time.
    local listed="$root/src/platform/macos/CMakeLists.txt"
    for file in "${files[@]}"; do
      if ! grep -qw -- "$(basename "$file")" "$listed"; then
        echo "FAILED  ${file#"$root"/} is not a source of the kestrine target in ${listed#"$root"/}"
        failed=1
      fi
    done
    if output="$(check_menu_actions "$root/src/platform/macos/status_bar.mm")"; then
      echo "ok      every menu item's selector reaches the application delegate"
    else
      echo "FAILED  menu item selectors that the application delegate lacks:"
      echo "$output"
      failed=1
    fi
    if output="$(check_menu_mapping "$root/src/platform/macos/status_bar.mm" \
      "$root/src/platform/macos/application.mm")"; then
      echo "ok      every menu action comes back to the delegate as itself"
    else
      echo "FAILED  menu actions that reach another action's method:"
      echo "$output"
      failed=1
    fi
    if output="$(check_cf_owned "${files[@]}" "$root"/src/platform/macos/*.h)"; then
      echo "ok      every CFOwned holds a Copy or Create result"
    else
      echo "FAILED  CFOwned values that do not own what they release:"
      echo "$output"
      failed=1
    fi
  fi
  return $failed
}

# Each deliberate mistake in the probe, with the diagnostic that must report it.
self_test() {
  local failed=0 output case expected target
  if output="$(check_file "$probe")" && output="$(analyze_file "$probe")"; then
    echo "ok      probe without mistakes passes, also under the static analyzer"
  else
    echo "FAILED  probe without mistakes does not pass:"
    echo "$output"
    failed=1
  fi
  while IFS='|' read -r case expected; do
    expect_failure "probe $case" "$expected" check_file "$probe" -DKESTRINE_PROBE="$case" ||
      failed=1
  done <<'CASES'
1|undeclared selector 'showAbuot'
2|no visible @interface for 'NSMenuItem' declares the selector 'setTagg:'
3|property 'buton' not found
4|requires a bridged cast
5|no viable conversion from 'std::string'
6|unknown type name 'NSStatusItem'
7|no known conversion from 'int' to 'CFNumberType'
9|attempt to use a poisoned identifier
11|no visible @interface for 'NSString' declares the selector 'stringByTrimmingSpaces'
CASES

  # CoreFoundation ownership, which only the analyzer follows.
  while IFS='|' read -r case expected; do
    expect_failure "probe $case under the static analyzer" "$expected" \
      analyze_file "$probe" -DKESTRINE_PROBE="$case" || failed=1
  done <<'CASES'
8|Incorrect decrement of the reference count of an object that is not owned
10|Potential leak of an object
CASES

  # Features newer than the oldest supported macOS: std::to_chars(double)
  # under a too-low target, and an unguarded macOS 14 AppKit method.
  if output="$(check_apple_file "$deployment_target" "$availability_probe")"; then
    echo "ok      availability probe passes for macOS $deployment_target"
  else
    echo "FAILED  availability probe does not pass for macOS $deployment_target:"
    echo "$output"
    failed=1
  fi
  while IFS='|' read -r target case expected; do
    expect_failure "availability probe $case for macOS $target" "$expected" \
      check_apple_file "$target" "$availability_probe" -DKESTRINE_PROBE="$case" || failed=1
  done <<CASES
10.12|0|'to_chars' is unavailable: introduced in macOS 13.3
$deployment_target|1|'activate' is only available on macOS 14.0 or newer
CASES

  # A status bar whose "About" item sends a selector the delegate lacks.
  local source
  source="$(mktemp)" || return 1
  sed 's/@selector(showAbout)/@selector(showAbuot)/' "$root/src/platform/macos/status_bar.mm" >"$source"
  expect_failure "menu action unknown to the delegate" \
    "no visible @interface for 'KestrineApplicationDelegate' declares the selector 'showAbuot'" \
    check_menu_actions "$source" || failed=1

  # Two menu actions whose selectors are swapped, in the status bar and in the
  # delegate's forwarding.
  local application
  application="$(mktemp)" || return 1
  sed 's/@selector(showBatteryInfo)/@selector(SWAP)/; s/@selector(showPowerMode)/@selector(showBatteryInfo)/; s/@selector(SWAP)/@selector(showPowerMode)/' \
    "$root/src/platform/macos/status_bar.mm" >"$source"
  expect_failure "status bar with swapped selectors" \
    "kShowBatteryInfo is sent as showPowerMode, which the application delegate forwards as kShowPowerMode" \
    check_menu_mapping "$source" "$root/src/platform/macos/application.mm" || failed=1
  sed 's/MenuAction::kShowBatteryInfo/SWAP/; s/MenuAction::kShowPowerMode/MenuAction::kShowBatteryInfo/; s/SWAP/MenuAction::kShowPowerMode/' \
    "$root/src/platform/macos/application.mm" >"$application"
  expect_failure "delegate forwarding swapped actions" \
    "kShowPowerMode is sent as showPowerMode, which the application delegate forwards as kShowBatteryInfo" \
    check_menu_mapping "$root/src/platform/macos/status_bar.mm" "$application" || failed=1
  rm -f "$application"

  # A Get result wrapped in CFOwned: released at the end of its scope without
  # being owned, which the analyzer does not see through the wrapper.
  sed 's/CFDictionaryRef description = IOPSGetPowerSourceDescription(snapshot, source);/const macos::CFOwned<CFDictionaryRef> owned(IOPSGetPowerSourceDescription(snapshot, source));\n  CFDictionaryRef description = owned.get();/' \
    "$root/src/platform/macos/power_sources.mm" >"$source"
  expect_failure "CFOwned of a Get result" \
    "a CFOwned made from IOPSGetPowerSourceDescription, whose result the caller does not own" \
    check_cf_owned "$source" || failed=1
  rm -f "$source"
  return $failed
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
else
  check_backend "$@"
fi
