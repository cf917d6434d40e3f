# bash completion for velarion-sweep: its options, folders for -o, the
# options of velarion-batch for -a, a .cnf file as BASE.cnf and the box
# names as BOX. The box names and velarion-batch's options are read from
# velarion-batch --help (the one beside velarion-sweep, else on PATH).

_velarion_sweep()
{
    local cur prev words cword
    _init_completion -n = || return

    local batch
    batch="$(dirname "$(type -P "${words[0]}" 2>/dev/null || echo "${words[0]}")")/velarion-batch"
    [[ -x $batch ]] || batch=velarion-batch

    case $prev in
        -o)
            _filedir -d
            return
            ;;
        -j)
            return
            ;;
        -a)
            COMPREPLY=($(compgen -W '$("$batch" --help 2>/dev/null |
                sed -n "s/^  \(-[^ <,]*\)\(, \(-[^ <,]*\)\)\{0,1\}.*/\1 \3/p")' -- "$cur"))
            return
            ;;
    esac

    # The words before this one that are neither options nor their values:
    # BASE.cnf, then BOX, then the values.
    local i positional=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -o | -j | -a) ((i++)) ;;
            --) return ;;
            -*) ;;
            *) ((positional++)) ;;
        esac
    done
    case $positional in
        0)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '-o -j -a --force --slurm --wait --results --help
                    --version' -- "$cur"))
            else
                _filedir cnf
            fi
            ;;
        1)
            COMPREPLY=($(compgen -W '$("$batch" --help 2>/dev/null |
                sed -n "s/^  \([TC][A-Za-z0-9_]*\)  .*/\1/p")' -- "$cur"))
            ;;
    esac
} &&
    complete -F _velarion_sweep velarion-sweep
