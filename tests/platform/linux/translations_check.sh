#!/bin/sh
# Fails when a shipped language misses a message of the template made from the
# sources, keeps a fuzzy one, or has a broken format ("%d" where the English
# has "%s", a lost "%%", a plural form too few).
# Usage: translations_check.sh <po folder> <kestrine.pot>
set -u
po=$1 pot=$2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
status=0
for language in $(grep -v '^#' "$po/LINGUAS"); do
  file=$po/$language.po
  if ! msgfmt --check -o /dev/null "$file"; then
    echo "$language: msgfmt --check fails"
    status=1
    continue
  fi
  msgmerge --quiet --no-fuzzy-matching -o "$work/$language.po" "$file" "$pot" || exit 1
  for kind in untranslated only-fuzzy; do
    msgattrib --$kind --no-obsolete --no-location -o "$work/$kind" "$work/$language.po"
    if [ -s "$work/$kind" ]; then
      echo "$language: ${kind#only-} messages:"
      grep '^msgid ' "$work/$kind" | grep -v '^msgid ""$'
      status=1
    fi
  done
done
exit $status
