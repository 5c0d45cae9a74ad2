# fish completion for kaloctl. As for bash, kaloctl itself says what may come
# next, asked with the words before the cursor and the one being typed as it
# stands. It answers with each candidate quoted for a POSIX shell, which fish
# does not read alike (backslashes in single quotes, $'...'), so bash takes
# the quotes off and fish puts in its own. File names when kaloctl offers none.
function __kaloctl_complete
    set -l words (commandline -opc) (commandline -ct)
    set -l program $words[1]
    string match -q -- '*/*' $program; and test -x $program; or set program kaloctl
    set -l candidates ($program --complete (math (count $words) - 1) $words 2>/dev/null \
        | bash -c 'while IFS= read -r word; do eval "printf \"%s\\n\" $word"; done')
    if set -q candidates[1]
        printf '%s\n' $candidates
    else
        __fish_complete_path (commandline -ct)
    end
end
complete -c kaloctl -f -a '(__kaloctl_complete)'
