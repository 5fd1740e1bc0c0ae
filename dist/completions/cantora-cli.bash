# bash completion for cantora-cli                           -*- shell-script -*-
# Commands, their options, the folders and files those options take, and the
# addresses already followed for `follow remove`.

_cantora_cli()
{
    local cur prev words cword
    # Addresses hold ":" and "=", which bash would otherwise take as word breaks.
    _init_completion -n =: || return

    local commands="check lookup harvest download follow sync help"
    local global="--site -q --quiet -v --verbose -h --help -V --version"
    local batch="-o --output -j --jobs --archive --tag --force --retries --limit-rate --sleep-requests"

    # The command is the first word that is neither an option nor --site's value.
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --site) ((i++)) ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $prev in
        -o)
            _filedir -d
            return
            ;;
        --archive)
            _filedir
            return
            ;;
        --output)
            # Blank-free examples: a reply is put on the line as it stands.
            mapfile -t COMPREPLY < <(compgen -W '{singer}/{title}.mp3 {singer}/{id}.mp3 {title}.mp3' -- "$cur")
            return
            ;;
        --site | -j | --jobs | --retries | --limit-rate | --sleep-requests | --singer)
            return
            ;;
    esac

    local options
    case $command in
        "" | check | follow | help) options=$global ;;
        lookup) options="--json $global" ;;
        harvest) options="--json --csv $global" ;;
        download) options="$batch --singer --playlist $global" ;;
        sync) options="$batch --notify $global" ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    case $command in
        "") mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur") ;;
        help)
            [[ $prev == help ]] && mapfile -t COMPREPLY < <(compgen -W "${commands% help}" -- "$cur")
            ;;
        follow)
            if [[ $prev == follow ]]; then
                mapfile -t COMPREPLY < <(compgen -W "add remove list" -- "$cur")
            elif [[ " ${words[*]:1:cword-1} " == *" remove "* ]]; then
                # Matched here rather than by compgen, which would expand a "$" in them.
                local address
                while IFS= read -r address; do
                    [[ $address == "$cur"* ]] && COMPREPLY+=("$address")
                done < <("${words[0]}" follow list 2>/dev/null | cut -f1)
                __ltrim_colon_completions "$cur"
            fi
            ;;
    esac
} &&
    complete -F _cantora_cli cantora-cli

# ex: filetype=sh
