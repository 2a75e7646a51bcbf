#include "cli/completion_script.h"

#include "cli/cli_options.h"

namespace trasslo::cli {

std::string bash_completion_script() {
    const std::vector<CommandSummary> summaries = command_summaries();
    std::string names;
    for (const CommandSummary& command : summaries)
        names += (names.empty() ? "" : " ") + std::string(command.name);

    std::string script =
        "# bash completion for trasslo-cli (made by \"trasslo-cli completion bash\")\n"
        "_trasslo_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local commands='" +
        names +
        "'\n"
        "    COMPREPLY=()\n"
        "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
        "        COMPREPLY=($(compgen -W \"$commands help --help --version\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    local options='' values=''\n"
        "    case ${COMP_WORDS[1]} in\n"
        "        help | --help | -h)\n"
        "            [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W \"$commands\" -- "
        "\"$cur\"))\n"
        "            return ;;\n";
    for (const CommandSummary& command : summaries) {
        std::string options;
        std::string values;
        for (const OptionSummary& option : command.options) {
            options += (options.empty() ? "" : " ") + option.name;
            if (option.takes_value) values += (values.empty() ? "" : " ") + option.name;
        }
        script += "        " + std::string(command.name) + ") options='" + options + "'; values='" +
                  values + "' ;;\n";
    }
    script +=
        "        *) return ;;\n"
        "    esac\n"
        "    # An option's value and the operands complete as file names (-o default).\n"
        "    [[ \" $values \" == *\" $prev \"* ]] && return\n"
        "    [[ $cur == -* ]] && COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        "    return 0\n"
        "}\n"
        "complete -o bashdefault -o default -F _trasslo_cli trasslo-cli\n";
    return script;
}

}  // namespace trasslo::cli
