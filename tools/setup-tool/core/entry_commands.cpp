#include "core/entry_commands.h"

#include <algorithm>
#include <optional>

#include "config/model_catalogue.h"
#include "core/entry_checks.h"
#include "core/json_writer.h"
#include "core/reg_file.h"
#include "platform/registry_tree.h"

namespace miraxld::setup {

namespace {

Outcome Failed(int exitCode, std::string error) {
    return Outcome{exitCode, {}, std::move(error)};
}

std::string Text(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

std::string DescribeViews(const std::vector<View>& views) {
    if (views.size() == 1) {
        return "the " + std::to_string(int(views[0])) + "-bit view";
    }
    return "the 32-bit and 64-bit views";
}

std::optional<DeviceEntry> FindEntry(ISetupHost& host, View view, std::u16string_view name) {
    for (DeviceEntry& entry : host.Entries(view)) {
        if (EqualsIgnoringCase(entry.name, name)) {
            return std::move(entry);
        }
    }
    return std::nullopt;
}

std::string ForeignEntry(const DeviceEntry& entry) {
    return "device " + Text(entry.name) + " is served by \"" + Text(entry.Get(kServiceValue)) +
           "\", not by this service object; it is left alone";
}

// The views to write: the one --view names, else those where the service object is registered.
std::string TargetViews(ISetupHost& host, const Command& command, std::vector<View>* views) {
    const std::vector<View> present = host.Views();
    if (command.view) {
        if (std::find(present.begin(), present.end(), *command.view) == present.end()) {
            return "this system has no " + std::to_string(int(*command.view)) +
                   "-bit registry view";
        }
        *views = {*command.view};
        return {};
    }
    views->clear();
    std::copy_if(present.begin(), present.end(), std::back_inserter(*views),
                 [&](View v) { return host.ServiceRegistered(v); });
    return views->empty() ? "the service object is not registered in any registry view; install "
                            "it (or regsvr32 MIRAXLD.dll) first, or choose a view with --view "
                            "32|64"
                          : "";
}

// Writes every entry in every view; the first failure ends it.
Outcome WriteAll(ISetupHost& host, const std::vector<DeviceEntry>& entries,
                 const std::vector<View>& views, std::string_view done) {
    Outcome outcome;
    for (const DeviceEntry& entry : entries) {
        for (View view : views) {
            const std::string error = host.Write(view, entry);
            if (!error.empty()) {
                return Failed(kExitFailed, "cannot write device " + Text(entry.name) + " in the " +
                                               std::to_string(int(view)) + "-bit view: " + error);
            }
        }
        outcome.out +=
            Text(entry.name) + " " + std::string(done) + " in " + DescribeViews(views) + "\n";
    }
    return outcome;
}

struct Listed {
    DeviceEntry entry;
    std::vector<View> views;
};

// This service object's entries by name; one row for an entry that is the same in both views.
std::vector<Listed> ListEntries(ISetupHost& host) {
    std::vector<Listed> rows;
    for (View view : host.Views()) {
        for (DeviceEntry& entry : host.Entries(view)) {
            if (!IsServedHere(entry)) {
                continue;
            }
            const auto same = std::find_if(rows.begin(), rows.end(),
                                           [&](const Listed& row) { return row.entry == entry; });
            if (same != rows.end()) {
                same->views.push_back(view);
            } else {
                rows.push_back(Listed{std::move(entry), {view}});
            }
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Listed& a, const Listed& b) {
        return Utf16ToUtf8(a.entry.name) < Utf16ToUtf8(b.entry.name);
    });
    return rows;
}

std::string ProblemOf(DeviceEntry entry) {
    return CheckEntry(entry);
}

std::string ListText(const std::vector<Listed>& rows) {
    if (rows.empty()) {
        return "no device entries of " + Text(kProgIdOwn) + " or " + Text(kProgIdOem) + "\n";
    }
    std::string text;
    for (const Listed& row : rows) {
        text += Text(row.entry.name) + " (" + DescribeViews(row.views).substr(4) + ")\n";
        for (const EntryValue& value : row.entry.values) {
            std::string name = value.name.empty() ? "service" : Text(value.name);
            name.resize(std::max<size_t>(name.size() + 1, 18), ' ');
            text += "    " + name + Text(value.data) + "\n";
        }
        if (const std::string problem = ProblemOf(row.entry); !problem.empty()) {
            text += "    problem: " + problem + "\n";
        }
    }
    return text;
}

std::string ListJson(const std::vector<Listed>& rows) {
    JsonWriter json;
    json.BeginObject().Key("entries").BeginArray();
    for (const Listed& row : rows) {
        json.BeginObject().Key("name").String(row.entry.name).Key("views").BeginArray();
        for (View view : row.views) {
            json.Number(int(view));
        }
        json.EndArray().Key("service").String(row.entry.Get(kServiceValue));
        json.Key("values").BeginObject();
        for (const EntryValue& value : row.entry.values) {
            if (!value.name.empty()) {
                json.Key(Text(value.name)).String(value.data);
            }
        }
        json.EndObject().Key("problem").String(ProblemOf(row.entry)).EndObject();
    }
    return json.EndArray().EndObject().Text();
}

Outcome RunList(ISetupHost& host, const Command& command) {
    const std::vector<Listed> rows = ListEntries(host);
    return Outcome{kExitOk, command.json ? ListJson(rows) : ListText(rows), {}};
}

Outcome RunAdd(ISetupHost& host, const Command& command) {
    std::vector<View> views;
    if (std::string error = TargetViews(host, command, &views); !error.empty()) {
        return Failed(kExitFailed, error);
    }
    std::optional<DeviceEntry> existing;
    for (View view : views) {
        if (!existing) {
            existing = FindEntry(host, view, command.operands[0]);
        }
    }
    if (existing && !IsServedHere(*existing)) {
        return Failed(kExitRefused, ForeignEntry(*existing));
    }
    DeviceEntry entry = existing.value_or(DeviceEntry{command.operands[0], {}});
    if (!existing) {
        entry.Set(kServiceValue, kProgIdOwn);
    }
    for (const auto& [name, text] : command.values) {
        entry.Set(name, text);
    }
    if (std::string problem = CheckEntry(entry); !problem.empty()) {
        return Failed(kExitRefused, problem);
    }
    return WriteAll(host, {entry}, views, existing ? "changed" : "added");
}

Outcome RunRemove(ISetupHost& host, const Command& command) {
    const std::u16string& name = command.operands[0];
    std::vector<View> holding;
    for (View view : command.view ? std::vector<View>{*command.view} : host.Views()) {
        if (const auto entry = FindEntry(host, view, name)) {
            if (!IsServedHere(*entry)) {
                return Failed(kExitRefused, ForeignEntry(*entry));
            }
            holding.push_back(view);
        }
    }
    if (holding.empty()) {
        return Failed(kExitFailed, "no device entry " + Text(name));
    }
    for (View view : holding) {
        if (const std::string error = host.Remove(view, name); !error.empty()) {
            return Failed(kExitFailed, "cannot remove device " + Text(name) + " from the " +
                                           std::to_string(int(view)) + "-bit view: " + error);
        }
    }
    return Outcome{kExitOk, Text(name) + " removed from " + DescribeViews(holding) + "\n", {}};
}

Outcome RunExport(ISetupHost& host, const Command& command) {
    std::vector<DeviceEntry> all;
    for (Listed& row : ListEntries(host)) {  // the 32-bit view's entry first, as it is listed
        if (std::none_of(all.begin(), all.end(), [&](const DeviceEntry& e) {
                return EqualsIgnoringCase(e.name, row.entry.name);
            })) {
            all.push_back(std::move(row.entry));
        }
    }
    std::vector<DeviceEntry> chosen;
    for (size_t i = 1; i < command.operands.size(); ++i) {
        const auto at = std::find_if(all.begin(), all.end(), [&](const DeviceEntry& e) {
            return EqualsIgnoringCase(e.name, command.operands[i]);
        });
        if (at == all.end()) {
            return Failed(kExitFailed, "no device entry " + Text(command.operands[i]));
        }
        chosen.push_back(*at);
    }
    if (command.operands.size() == 1) {
        chosen = all;
    }
    if (chosen.empty()) {
        return Failed(kExitFailed, "no device entries to export");
    }
    if (std::string error = host.WriteFile(command.operands[0], WriteRegFile(chosen));
        !error.empty()) {
        return Failed(kExitFailed, "cannot write " + Text(command.operands[0]) + ": " + error);
    }
    return Outcome{kExitOk,
                   std::to_string(chosen.size()) + " device entr" +
                       (chosen.size() == 1 ? "y" : "ies") + " written to " +
                       Text(command.operands[0]) + "\n",
                   {}};
}

Outcome RunImport(ISetupHost& host, const Command& command) {
    const std::u16string& file = command.operands[0];
    const std::optional<std::string> bytes = host.ReadFile(file);
    if (!bytes) {
        return Failed(kExitRefused, "cannot read " + Text(file));
    }
    RegFileContent content = ParseRegFile(*bytes);
    if (!content.error.empty()) {
        return Failed(kExitRefused, Text(file) + ", " + content.error);
    }
    for (DeviceEntry& entry : content.entries) {
        if (std::string problem = CheckEntry(entry); !problem.empty()) {
            return Failed(kExitRefused,
                          Text(file) + ", device " + Text(entry.name) + ": " + problem);
        }
    }
    std::vector<View> views;
    if (std::string error = TargetViews(host, command, &views); !error.empty()) {
        return Failed(kExitFailed, error);
    }
    for (const DeviceEntry& entry : content.entries) {
        for (View view : views) {
            if (const auto existing = FindEntry(host, view, entry.name);
                existing && !IsServedHere(*existing)) {
                return Failed(kExitRefused, ForeignEntry(*existing));
            }
        }
    }
    return WriteAll(host, content.entries, views, "imported");
}

}  // namespace

Outcome RunEntryCommand(ISetupHost& host, const Command& command) {
    using Runner = Outcome (*)(ISetupHost&, const Command&);
    static constexpr std::pair<Verb, Runner> kRunners[] = {
        {Verb::kList, RunList},     {Verb::kAdd, RunAdd},       {Verb::kRemove, RunRemove},
        {Verb::kExport, RunExport}, {Verb::kImport, RunImport},
    };
    for (const auto& [verb, run] : kRunners) {
        if (verb == command.verb) {
            return run(host, command);
        }
    }
    return Outcome{kExitRefused, {}, "not a command on device entries"};
}

}  // namespace miraxld::setup
