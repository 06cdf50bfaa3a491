#!/usr/bin/env bash
# The manual pages render without a single warning, both on a terminal of
# the POSIX locale (groff's ASCII device, as man uses it under LANG=C) and on
# a UTF-8 one.
#   manpages.sh PAGE...
set -euo pipefail
failed=0
passed=0
for page in "$@"; do
    for device in ascii utf8; do
        warnings=$(LC_ALL=C groff -k -Kutf8 -man -T"$device" -ww -z "$page" 2>&1)
        if [ -z "$warnings" ]; then
            passed=$((passed + 1))
        else
            echo "FAIL: $(basename "$page") on $device:"
            echo "$warnings"
            failed=$((failed + 1))
        fi
    done
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
