#!/bin/sh
# The package's postinst against rule files in a temporary folder:
# it removes exactly the rule an earlier Kestrine wrote and keeps anything else.
# Usage: sudoers_cleanup_test.sh <path of debian/kestrine.postinst>
set -u
script=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sed "s|^rule_file=/etc/sudoers.d/kestrine\$|rule_file=$dir/kestrine|" "$script" > "$dir/cleanup"
grep -q "^rule_file=$dir/kestrine\$" "$dir/cleanup" || { echo "rule_file line not found"; exit 1; }
failures=0

# check <removed|kept> <description> <printf format> [args]: writes the file and runs the script.
check() {
  expected=$1 what=$2
  shift 2
  rm -rf "$dir/kestrine"
  # shellcheck disable=SC2059
  printf "$@" > "$dir/kestrine"
  /bin/sh "$dir/cleanup" configure 1.0 || { echo "FAIL: $what: exit status $?"; failures=$((failures + 1)); }
  if [ -e "$dir/kestrine" ]; then actual=kept; else actual=removed; fi
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: $what: $actual, expected $expected"
    failures=$((failures + 1))
  fi
}

old='%s ALL=(ALL) NOPASSWD: %s -b lowpowermode *\n'
check removed "the packaged rule" "$old" alice /usr/libexec/kestrine/pmset
check removed "a rule of an /opt install" "$old" bob.smith /opt/x/libexec/kestrine/pmset
check kept "no final newline" '%s ALL=(ALL) NOPASSWD: %s -b lowpowermode *' alice /usr/libexec/kestrine/pmset
check kept "a second line" "$old%s\n" alice /usr/libexec/kestrine/pmset 'alice ALL=(ALL) ALL'
check kept "another command" "$old" alice /usr/bin/systemctl
check kept "any value of another option" '%s ALL=(ALL) NOPASSWD: %s -b lowpowermode 1 *\n' alice /usr/libexec/kestrine/pmset
check kept "a group instead of a user" "$old" %admin /usr/libexec/kestrine/pmset
check kept "a wider rule" 'alice ALL=(ALL) NOPASSWD: ALL\n'

# A symbolic link is never followed, whatever it points to.
rm -f "$dir/kestrine"
printf "$old" alice /usr/libexec/kestrine/pmset > "$dir/target"
ln -s "$dir/target" "$dir/kestrine"
/bin/sh "$dir/cleanup" remove
[ -L "$dir/kestrine" ] && [ -e "$dir/target" ] || { echo "FAIL: followed a link"; failures=$((failures + 1)); }

# No file at all is fine.
rm -f "$dir/kestrine"
/bin/sh "$dir/cleanup" purge || { echo "FAIL: no file"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "all cases passed"
exit "$failures"
