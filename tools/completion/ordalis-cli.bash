# bash completion for ordalis-cli and ordalis-store
_ordalis_cli()
{
    local cur prev verb
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    verb=${COMP_WORDS[1]}
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "sign verify encrypt decrypt --help" -- "$cur"))
        return
    fi
    case $prev in
        --cert-file|--password-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --cert) return ;;
    esac
    local options="--json --help"
    case $verb in
        sign) options="$options --cert --attached --base64 --pack --password-file" ;;
        encrypt) options="$options --cert --cert-file" ;;
        decrypt) options="$options --password-file" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _ordalis_cli ordalis-cli

_ordalis_store()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "list import export remove new --help" -- "$cur"))
        return
    fi
    case $prev in
        --alg) COMPREPLY=($(compgen -W "gost2001 gost2012_256 gost2012_512" -- "$cur")); return ;;
        --password-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --subject|--days) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--alg --subject --days --password-file --yes --help" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _ordalis_store ordalis-store
