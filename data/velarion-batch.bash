# bash completion for velarion-batch: its options, the names --box takes
# and 1 or 0 for a check box, the runs, the plot pages (also as --plot's
# PAGE: in front of a file), the ends, the locales, and file or directory
# names where an option takes one. The options, their value
# names (<FILE>, <DIR> ...) and the box names are read from velarion-batch
# --help, so an option added there completes here as it is.

_velarion_batch()
{
    local cur prev words cword split
    _init_completion -s -n =: || return

    local help
    help=$("${words[0]}" --help 2>/dev/null) || return

    # Every option of the help's list, with the name of its value if any.
    local -A values=()
    local line name
    local -a boxes=()
    while IFS= read -r line; do
        if [[ $line =~ ^\ \ (-[^\ \<,]+(,\ -[^\ \<,]+)*)(\ \<([^\>]+)\>)? ]]; then
            local names=${BASH_REMATCH[1]} value=${BASH_REMATCH[4]}
            for name in ${names//,/ }; do
                values[$name]=$value
            done
        elif [[ $line =~ ^\ \ ([TC][A-Za-z0-9_]+)\ \  ]]; then
            boxes+=("${BASH_REMATCH[1]}")
        fi
    done <<<"$help"

    if [[ -v values[$prev] && -n ${values[$prev]} ]]; then
        case ${values[$prev]} in
            FILE)
                _filedir
                ;;
            DIR)
                _filedir -d
                ;;
            RUN)
                COMPREPLY=($(compgen -W 'double girotondo precision' -- "$cur"))
                ;;
            PAGE)
                COMPREPLY=($(compgen -W 'time profile envelope energy' -- "$cur"))
                ;;
            "[PAGE:]FILE")
                local page=""
                if [[ $cur == @(time|profile|envelope|energy):* ]]; then
                    page=${cur%%:*}:
                    cur=${cur#*:}
                fi
                _filedir '@(png|svg)'
                COMPREPLY=("${COMPREPLY[@]/#/$page}")
                if [[ -z $page ]]; then
                    COMPREPLY+=($(compgen -W 'time: profile: envelope: energy:' -- "$cur"))
                    compopt -o nospace
                fi
                ;;
            END)
                case $prev in
                    --first-end) COMPREPLY=($(compgen -W 'counter-pressure closed valve:' -- "$cur")) ;;
                    --last-end) COMPREPLY=($(compgen -W 'seed restoring closed' -- "$cur")) ;;
                    *) COMPREPLY=($(compgen -W 'seed restoring' -- "$cur")) ;;
                esac
                ;;
            NAME=TEXT)
                if [[ $cur != *=* ]]; then
                    COMPREPLY=($(compgen -W '${boxes[@]}' -S = -- "$cur"))
                    compopt -o nospace
                elif [[ $cur == C*=* ]]; then
                    # A check box takes 1 or 0.
                    COMPREPLY=($(compgen -W "${cur%%=*}=1 ${cur%%=*}=0" -- "$cur"))
                fi
                ;;
            NAME)
                COMPREPLY=($(compgen -W '$(locale -a 2>/dev/null | sed "s/\..*//" | sort -u)' \
                    -- "$cur"))
                ;;
        esac
        return
    fi
    $split && return

    COMPREPLY=($(compgen -W '${!values[@]}' -- "$cur"))
} &&
    complete -F _velarion_batch velarion-batch
