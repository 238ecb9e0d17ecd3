#include "core/arguments.h"

#include <algorithm>
#include <cstdint>

#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

enum OptionSet : unsigned { kJsonOption = 1, kViewOption = 2, kValueOptions = 4 };
constexpr size_t kAny = SIZE_MAX;

struct VerbSpec {
    Verb verb;
    std::string_view name;
    std::string_view operands;  // as the usage line shows them
    size_t minOperands;
    size_t maxOperands;
    unsigned options;
    std::string_view summary;
    std::string_view example;
};

constexpr VerbSpec kVerbs[] = {
    {Verb::kList, "list", "", 0, 0, kJsonOption,
     "Lists the device entries of this service object (both service identities) in every "
     "registry view, with their values.",
     "miraxld-setup list --json"},
    {Verb::kAdd, "add", "NAME", 1, 1, kValueOptions | kViewOption,
     "Adds the device entry NAME, or changes the values given of an existing one (an empty "
     "value removes it). Every value is checked before anything is written. The entry is "
     "written in the registry view(s) where the service object is registered.",
     "miraxld-setup add KT110 --model KT110 --port COM3 --baud 9600"},
    {Verb::kRemove, "remove", "NAME", 1, 1, kViewOption,
     "Removes the device entry NAME from every registry view that holds it.",
     "miraxld-setup remove KT110"},
    {Verb::kPorts, "ports", "", 0, 0, kJsonOption,
     "Lists the system's serial ports and the USB displays the port search knows, with the COM "
     "port of each and the one the search would choose for each model.",
     "miraxld-setup ports"},
    {Verb::kTest, "test", "NAME", 1, 1, kJsonOption,
     "Tests the display of NAME as a POS application would: creates the service object, "
     "OpenService, ClaimDevice, DeviceEnabled, shows the device name and the firmware version, "
     "reads DeviceDescription, CharacterSetList and PowerState, ReleaseDevice, CloseService. "
     "Prints every step with its ResultCode, ResultCodeExtended and their meaning.",
     "miraxld-setup test KT110"},
    {Verb::kExport, "export", "FILE.reg [NAME...]", 1, kAny, 0,
     "Writes the device entries NAME (all of this service object's when none is given) to a "
     ".reg file that regedit and import read.",
     "miraxld-setup export C:\\pos\\displays.reg"},
    {Verb::kImport, "import", "FILE.reg", 1, 1, kViewOption,
     "Writes the device entries of a .reg file, each checked as add checks it; nothing is "
     "written when one is refused. An entry replaces the values of an existing one.",
     "miraxld-setup import C:\\pos\\displays.reg"},
};

constexpr std::string_view kJsonHelp = "  --json             machine-readable output\n";
constexpr std::string_view kViewHelp =
    "  --view 32|64       write in this registry view instead of the view(s) where the service\n"
    "                     object is registered\n";

// The text in lines of at most 100 characters, broken at blanks; lines after the first are
// indented by `indent`, to stand in the second column of a table.
std::string Wrapped(std::string_view text, size_t indent = 0) {
    const size_t width = 100 - indent;
    std::string lines;
    size_t lineLength = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(' ', start), text.size());
        if (lineLength > 0 && lineLength + 1 + (end - start) > width) {
            lines += '\n';
            lines.append(indent, ' ');
            lineLength = 0;
        } else if (lineLength > 0) {
            lines += ' ';
            ++lineLength;
        }
        lines.append(text.substr(start, end - start));
        lineLength += end - start;
        start = end + 1;
    }
    return lines + "\n";
}

const VerbSpec* FindVerb(std::string_view name) {
    const auto at = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                 [&](const VerbSpec& v) { return v.name == name; });
    return at == std::end(kVerbs) ? nullptr : at;
}

const EntryOption* FindValueOption(std::string_view option) {
    const auto at = std::find_if(kEntryOptions.begin(), kEntryOptions.end(),
                                 [&](const EntryOption& o) { return o.option == option; });
    return at == kEntryOptions.end() ? nullptr : &*at;
}

std::string AllowedOptions(const VerbSpec& form) {
    std::string text = "--help";
    if (form.options & kJsonOption) {
        text += ", --json";
    }
    if (form.options & kValueOptions) {
        for (const EntryOption& o : kEntryOptions) {
            text += ", " + std::string(o.option);
        }
    }
    if (form.options & kViewOption) {
        text += ", --view";
    }
    return text;
}

// Reads one option; returns an error text or empty.
std::string TakeOption(const VerbSpec& form, const std::vector<std::u16string>& args, size_t& i,
                       Command& command) {
    const std::string arg = Utf16ToUtf8(args[i]);
    const size_t equals = arg.find('=');
    const std::string option = arg.substr(0, equals);
    const bool flag = option == "--help" || (option == "--json" && (form.options & kJsonOption));
    if (flag) {
        if (equals != std::string::npos) {
            return option + " takes no value";
        }
        (option == "--help" ? command.help : command.json) = true;
        return {};
    }
    const EntryOption* valueOption =
        (form.options & kValueOptions) ? FindValueOption(option) : nullptr;
    if (valueOption == nullptr && !(option == "--view" && (form.options & kViewOption))) {
        return std::string(form.name) + ": unknown option " + option +
               " (allowed: " + AllowedOptions(form) + ")";
    }
    const std::string_view placeholder = valueOption ? valueOption->placeholder : "32|64";
    std::u16string value;
    if (equals != std::string::npos) {
        value = Utf8ToUtf16(arg.substr(equals + 1));
    } else if (i + 1 < args.size() && args[i + 1].rfind(u"--", 0) != 0) {
        value = args[++i];
    } else {
        return option + " needs a value (" + std::string(placeholder) + ")";
    }
    if (valueOption == nullptr) {
        if (value != u"32" && value != u"64") {
            return "--view \"" + Utf16ToUtf8(value) + "\" is not a registry view (32 or 64)";
        }
        command.view = value == u"32" ? View::k32 : View::k64;
        return {};
    }
    const std::u16string name(valueOption->valueName);
    if (std::any_of(command.values.begin(), command.values.end(),
                    [&](const auto& v) { return v.first == name; })) {
        return option + " is given twice";
    }
    command.values.emplace_back(name, value);
    return {};
}

}  // namespace

ParsedCommand ParseArguments(const std::vector<std::u16string>& args) {
    ParsedCommand parsed;
    Command& command = parsed.command;
    if (args.empty()) {
        parsed.error = "no command given; miraxld-setup --help lists them";
        return parsed;
    }
    const std::string first = Utf16ToUtf8(args[0]);
    if (first == "--help" || first == "help" || first == "-h" || first == "/?") {
        command.help = true;
        const VerbSpec* form = args.size() > 1 ? FindVerb(Utf16ToUtf8(args[1])) : nullptr;
        command.verb = form ? form->verb : Verb::kNone;
        return parsed;
    }
    const VerbSpec* form = FindVerb(first);
    if (form == nullptr) {
        parsed.error = "unknown command \"" + first +
                       "\" (commands: list, add, remove, ports, test, export, import)";
        return parsed;
    }
    command.verb = form->verb;
    for (size_t i = 1; i < args.size() && parsed.error.empty(); ++i) {
        if (args[i].rfind(u"--", 0) == 0) {
            parsed.error = TakeOption(*form, args, i, command);
        } else {
            command.operands.push_back(args[i]);
        }
    }
    if (!parsed.error.empty() || command.help) {
        return parsed;
    }
    const std::string usage =
        "miraxld-setup " + std::string(form->name) + " " + std::string(form->operands);
    if (command.operands.size() < form->minOperands) {
        parsed.error = std::string(form->name) + " needs " + std::string(form->operands) +
                       " (usage: " + usage + ")";
    } else if (command.operands.size() > form->maxOperands) {
        parsed.error = std::string(form->name) + ": unexpected \"" +
                       Utf16ToUtf8(command.operands[form->maxOperands]) + "\" (usage: " + usage +
                       ")";
    }
    return parsed;
}

std::string HelpText(Verb verb) {
    const auto at = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                 [&](const VerbSpec& v) { return v.verb == verb; });
    if (at == std::end(kVerbs)) {
        std::string text =
            "miraxld-setup: device entries of the MIRAXLD Line Display service object\n\n";
        for (const VerbSpec& v : kVerbs) {
            text += "  miraxld-setup " + std::string(v.name) + " " + std::string(v.operands) + "\n";
        }
        return text +
               "\nmiraxld-setup COMMAND --help describes a command. Exit code: 0 success, 1 "
               "failed, 2 refused (nothing written).\n";
    }
    std::string text = "usage: miraxld-setup " + std::string(at->name) + " " +
                       std::string(at->operands) + " [options]\n\n" + Wrapped(at->summary) +
                       "\nexample: " + std::string(at->example) +
                       "\n\noptions:\n  --help             this text\n";
    if (at->options & kValueOptions) {
        for (const EntryOption& o : kEntryOptions) {
            std::string left = "  " + std::string(o.option) + " " + std::string(o.placeholder);
            left.resize(std::max<size_t>(left.size() + 1, 21), ' ');
            text += left + Wrapped(o.help, left.size());
        }
    }
    if (at->options & kJsonOption) {
        text += kJsonHelp;
    }
    if (at->options & kViewOption) {
        text += kViewHelp;
    }
    return text;
}

}  // namespace miraxld::setup
