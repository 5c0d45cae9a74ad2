#!/usr/bin/env fish
# The fish completion, as fish itself completes each line.
# Usage: fish_completion_test.fish KALOCTL_DIR COMPLETION_SCRIPT
set -l folder (mktemp -d); or exit 1
ln -s $argv[2] $folder/kaloctl.fish
touch $folder/profile.json
set -p PATH $argv[1]
set -p fish_complete_path $folder
# Each row: the line, then the candidates fish offers, one a line.
set -l rows \
    'kaloctl --se' '--serial' \
    'kaloctl set-status --code-page pc865' 'PC865 (Nordic)
PC865/PC1252 (ADC)' \
    'kaloctl --serial \'\\\\.\\COM13' '\\\\.\\COM13' \
    "kaloctl set-status --load $folder/prof" "$folder/profile.json"
set -l failures 0
for i in (seq 1 2 (count $rows))
    set -l got (complete -C $rows[$i] | string collect)
    set -l wanted $rows[(math $i + 1)]
    if test "$got" != "$wanted"
        echo "completing '$rows[$i]' gave '$got', not '$wanted'"
        set failures (math $failures + 1)
    end
end
rm -rf $folder
test $failures -eq 0; or exit 1
echo (math (count $rows) / 2) passed, 0 failed
