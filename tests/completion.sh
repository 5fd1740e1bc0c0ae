#!/usr/bin/env bash
# The shell completions offer what the program's own help lists: its commands,
# each command's options, folders after -o, the followed addresses after
# `follow remove`. Bash is driven through its completion machinery; fish, when
# installed, through its own.
#   completion.sh CANTORA_CLI COMPLETIONS_DIR
set -euo pipefail
cli="$(realpath "$1")"
dir="$(realpath "$2")"
failed=0

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1091
source "$dir/cantora-cli.bash"

# The words typed so far, the last one being completed: bash's replies, sorted.
bash_offers() {
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _cantora_cli
    if [ "${#COMPREPLY[@]}" -gt 0 ]; then printf '%s\n' "${COMPREPLY[@]}" | sort -u; fi
}

# The options in the tables of `cantora-cli ARGS` ("  -j, --jobs N  meaning").
help_lists() {
    "$cli" "$@" | sed -n 's/^  \(-[^ ,]*\)\(, \(-[^ ]*\)\)\{0,1\}.*/\1\n\3/p' | sed '/^$/d' | sort -u
}

expect() { # what, expected, offered
    if [ "$2" != "$3" ]; then
        printf '%s:\n  expected: %s\n  offered:  %s\n' "$1" "$(tr '\n' ' ' <<<"$2")" "$(tr '\n' ' ' <<<"$3")" >&2
        failed=1
    fi
}

commands="$({ "$cli" --help | sed -n 's/^  cantora-cli \([a-z]*\).*/\1/p'; echo help; } | sort -u)"
expect "commands" "$commands" "$(bash_offers "")"
expect "options before the command" "$(help_lists --help)" "$(bash_offers -)"
expect "help's command names" "$(grep -vx help <<<"$commands")" "$(bash_offers help "")"
for command in $(grep -vx help <<<"$commands"); do
    expect "$command's options" "$(help_lists help "$command")" "$(bash_offers "$command" -)"
    expect "$command's options after --site" "$(help_lists help "$command")" \
        "$(bash_offers --site http://127.0.0.1:1 "$command" -)"
done

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir "$home/a folder"
touch "$home/works.mp3"
cd "$home"
expect "-o takes folders" "a folder" "$(bash_offers sync -o "")"
expect "--archive takes files" "$(printf 'a folder\nworks.mp3')" "$(bash_offers download --archive "")"
expect "follow's actions" "$(printf 'add\nlist\nremove')" "$(bash_offers follow "")"
mkdir -p "$home/config/cantora-helper"
echo "http://127.0.0.1:1/userPage.php?uid=1001  # 林小夏" >"$home/config/cantora-helper/following"
# A colon breaks words for bash: the reply is what follows the last one typed.
expect "follow remove offers the followed" "//127.0.0.1:1/userPage.php?uid=1001" \
    "$(XDG_CONFIG_HOME="$home/config" bash_offers follow remove http:)"

if command -v fish >/dev/null; then
    fish_offers() { # the words typed so far, ending in a blank or in the word completed
        PATH="$(dirname "$cli"):$PATH" fish --no-config \
            -c "source $dir/cantora-cli.fish; complete --do-complete 'cantora-cli $*'" | cut -f1 | sort -u
    }
    expect "fish: commands" "$commands" "$(fish_offers "")"
    for command in $(grep -vx help <<<"$commands"); do
        expect "fish: $command's options" "$(help_lists help "$command")" "$(fish_offers "$command" -)"
    done
fi
if command -v zsh >/dev/null; then
    zsh -n "$dir/_cantora-cli" || failed=1
fi
exit "$failed"
