#!/usr/bin/env bash
# Type-checks the macOS backend off the Mac: every .mm file of src/platform/macos
# as Objective-C++ with ARC against GNUstep's Foundation and AppKit headers, and
# every .cpp file there as plain C++, with warnings as errors. Apple-only
# declarations GNUstep lacks come from tests/platform/macos/compat.
#
#   scripts/check-macos-backend.sh              check the backend
#   scripts/check-macos-backend.sh --self-test  prove the check fails where it must
#   scripts/check-macos-backend.sh FILE...      check the given files
#
# Needs clang++, gcc's Objective-C runtime headers (libobjc-12-dev, a dependency
# of Debian's clang) and GNUstep's headers (libgnustep-gui-dev).
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
compat="$root/tests/platform/macos/compat"
probe="$root/tests/platform/macos/typecheck_probe.mm"
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

common_flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -I "$root/src")
objcxx_flags=(
  -x objective-c++ -fobjc-runtime=gnustep-2.0 -fobjc-arc -fblocks -Wundeclared-selector
  # GNUstep's own headers do not pass these warnings, so they are system headers.
  -isystem "$gnustep_headers" -idirafter "$runtime_headers"
  -I "$compat" -include "$compat/kestrine_macos_compat.h"
  -DGNUSTEP -DGNUSTEP_BASE_LIBRARY=1 -DGNU_GUI_LIBRARY=1 -DGNU_RUNTIME=1
)

# check_file FILE [EXTRA_FLAG...]: prints the compiler's diagnostics, returns its status.
check_file() {
  local file="$1"
  shift
  case "$file" in
    *.mm) "$cxx" "${common_flags[@]}" "${objcxx_flags[@]}" "$@" "$file" 2>&1 ;;
    *) "$cxx" -x c++ "${common_flags[@]}" "$@" "$file" 2>&1 ;;
  esac
}

# check_menu_actions MENU_MODEL_HEADER: compiles a message to the application
# delegate of application.mm for every action name the core's menu model
# declares ("terminate:" goes to NSApplication itself). Menu items get their
# selector from those names at run time, where no compiler sees it; a name the
# delegate lacks would be a menu item that silently does nothing.
check_menu_actions() {
  local model="$1" names name receiver message work status output
  names="$(sed -n 's/^inline constexpr std::string_view kAction[A-Za-z]* = "\([^"]*\)";$/\1/p' "$model")"
  [ -n "$names" ] || { echo "no action names found in $model"; return 1; }
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
  if [ $# -eq 0 ]; then
    # A source file the Mac build leaves out fails only there, at link time.
    local listed="$root/src/platform/macos/CMakeLists.txt"
    for file in "${files[@]}"; do
      if ! grep -qw -- "$(basename "$file")" "$listed"; then
        echo "FAILED  ${file#"$root"/} is not a source of the kestrine target in ${listed#"$root"/}"
        failed=1
      fi
    done
    if output="$(check_menu_actions "$root/src/ui/menu_model.h")"; then
      echo "ok      every menu action of the core reaches the application delegate"
    else
      echo "FAILED  menu actions of the core that the application delegate lacks:"
      echo "$output"
      failed=1
    fi
  fi
  return $failed
}

# Each deliberate mistake in the probe, with the diagnostic that must report it.
self_test() {
  local failed=0 output case expected
  if output="$(check_file "$probe")"; then
    echo "ok      probe without mistakes passes"
  else
    echo "FAILED  probe without mistakes does not pass:"
    echo "$output"
    failed=1
  fi
  while IFS='|' read -r case expected; do
    if output="$(check_file "$probe" -DKESTRINE_PROBE="$case")"; then
      echo "FAILED  probe $case passed, expected: $expected"
      failed=1
    elif grep -q -- "$expected" <<<"$output"; then
      echo "ok      probe $case fails: $expected"
    else
      echo "FAILED  probe $case failed without \"$expected\":"
      echo "$output"
      failed=1
    fi
  done <<'CASES'
1|undeclared selector 'showAbuot'
2|no visible @interface for 'NSMenuItem' declares the selector 'setTagg:'
3|property 'buton' not found
4|requires a bridged cast
5|no viable conversion from 'std::string'
CASES

  # A menu model whose "About" action the delegate does not implement.
  local model
  model="$(mktemp)" || return 1
  sed 's/"showAbout"/"showAbuot"/' "$root/src/ui/menu_model.h" >"$model"
  if output="$(check_menu_actions "$model")"; then
    echo "FAILED  menu action unknown to the delegate passed"
    failed=1
  elif grep -q -- "no visible @interface for 'KestrineApplicationDelegate' declares the selector 'showAbuot'" <<<"$output"; then
    echo "ok      menu action unknown to the delegate fails: no visible @interface declares 'showAbuot'"
  else
    echo "FAILED  menu action unknown to the delegate failed without the expected diagnostic:"
    echo "$output"
    failed=1
  fi
  rm -f "$model"
  return $failed
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
else
  check_backend "$@"
fi
