# bash completion for kaloctl. kaloctl itself says what may come next (its
# commands, their options, the values an option takes, the USB printers
# attached), so options added to it complete without changes here. Values
# come quoted for the shell; file names are left to bash.
_kaloctl()
{
    local program=${COMP_WORDS[0]}
    [[ $program == */* && -x $program ]] || program=kaloctl
    mapfile -t COMPREPLY < <("$program" --complete "$COMP_CWORD" "${COMP_WORDS[@]:0:COMP_CWORD+1}" 2>/dev/null)
}
complete -o default -F _kaloctl kaloctl
