# fish completion for cantora-cli: commands, their options, the folders and
# files those options take, and the addresses already followed.

set -l commands check lookup harvest download follow sync help

function __cantora_cli_followed
    cantora-cli follow list 2>/dev/null | string split -f1 \t
end

complete -c cantora-cli -f
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'Is this version current?'
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a lookup -d 'The facts of song pages'
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a harvest -d 'The works on a singer page'
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a download -d 'Download works'
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a follow -d 'The followed singers'
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a sync -d 'New works of the followed singers'
complete -c cantora-cli -n "not __fish_seen_subcommand_from $commands" -a help -d 'Describe one command'
complete -c cantora-cli -n "__fish_seen_subcommand_from help; and not __fish_seen_subcommand_from $commands[1..-2]" \
    -a "$commands[1..-2]"

# Everywhere.
complete -c cantora-cli -l site -x -d 'Work against the site at BASE'
complete -c cantora-cli -s q -l quiet -d 'No progress, no line per work'
complete -c cantora-cli -s v -l verbose -d 'Skipped and stopped works too'
complete -c cantora-cli -s h -l help -d 'Help'
complete -c cantora-cli -s V -l version -d 'The version'

complete -c cantora-cli -n '__fish_seen_subcommand_from lookup harvest' -l json -d 'One JSON object a line'
complete -c cantora-cli -n '__fish_seen_subcommand_from harvest' -l csv -d 'CSV with a header row'

set -l batch '__fish_seen_subcommand_from download sync'
complete -c cantora-cli -n $batch -s o -x -a '(__fish_complete_directories)' -d 'Folder to save into'
complete -c cantora-cli -n $batch -l output -x -a '{singer}/{title}.mp3 {singer}/{id}.mp3 {title}.mp3' -d 'File name template'
complete -c cantora-cli -n $batch -s j -l jobs -x -d 'Transfers at once'
complete -c cantora-cli -n $batch -l archive -r -F -d 'Work ids to skip and to add'
complete -c cantora-cli -n $batch -l tag -d 'Write ID3v2.4 tags'
complete -c cantora-cli -n $batch -l force -d 'Fetch again works already saved'
complete -c cantora-cli -n $batch -l retries -x -d 'Tries after a failure'
complete -c cantora-cli -n $batch -l limit-rate -x -d 'Most bytes a second, e.g. 500K'
complete -c cantora-cli -n $batch -l sleep-requests -x -d 'Seconds between page requests'
complete -c cantora-cli -n '__fish_seen_subcommand_from download' -l singer -x -d 'Every work of a singer page'
complete -c cantora-cli -n '__fish_seen_subcommand_from download' -l playlist -d "With --singer: the singer's playlist"
complete -c cantora-cli -n '__fish_seen_subcommand_from sync' -l notify -d 'A desktop notification'

complete -c cantora-cli -n '__fish_seen_subcommand_from follow; and not __fish_seen_subcommand_from add remove list' \
    -a 'add remove list'
complete -c cantora-cli -n '__fish_seen_subcommand_from follow; and __fish_seen_subcommand_from remove' \
    -a '(__cantora_cli_followed)'
