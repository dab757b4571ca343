# bash completion for ordalis-store
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
        --password-file|--cert) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --container) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --store) COMPREPLY=($(compgen -W "MY AddressBook CA ROOT" -- "$cur")); return ;;
        --subject|--days) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--alg --subject --days --password-file --cert --container --store --yes --help" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _ordalis_store ordalis-store
