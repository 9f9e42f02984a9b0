#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>
#include <climits>

#include "common/LocalTimestamp.h"
#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "history/SpcReport.h"

#ifndef VEXLO_VERSION
#define VEXLO_VERSION "0"
#endif

namespace vexlo::cli {
namespace {

// A whole number within its range, checked by the project's strict parser ("2,5", "5abc" and
// "4294967297" for an int are refused, never read as far as they go or wrapped).
CLI::Validator WholeNumber(long long low, long long high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            if (ParseWholeNumberIn(text, low, high)) return {};
            return FormatText("takes a whole number from %lld to %lld, not \"%s\"", low, high, text.c_str());
        },
        FormatText("%lld..%lld", low, high));
}

CLI::Option* AddNumber(CLI::App& app, const char* name, std::optional<long long>& target, long long low, long long high,
                       const char* help) {
    return app
        .add_option_function<std::string>(
            name, [&target](const std::string& text) { target = ParseWholeNumber(text); }, help)
        ->check(WholeNumber(low, high))
        ->type_name("N");
}

CLI::Option* AddNumber(CLI::App& app, const char* name, long long& target, long long low, long long high,
                       const char* help) {
    return app
        .add_option_function<std::string>(
            name, [&target](const std::string& text) { target = *ParseWholeNumber(text); }, help)
        ->check(WholeNumber(low, high))
        ->type_name("N")
        ->capture_default_str();
}

struct Positional {
    const char* name;
    const char* help;
    bool required;
};

// One command: its name, what it does and its positional arguments; the caller adds its options.
CLI::App* AddCommand(CLI::App& app, CliOptions& o, const char* name, const char* summary,
                     std::initializer_list<Positional> positionals = {}) {
    CLI::App* command = app.add_subcommand(name, summary);
    command->fallthrough();  // the options of every command may follow its name
    command->callback([&o, name] { o.command = name; });
    size_t slot = 0;
    for (const Positional& positional : positionals) {
        command
            ->add_option_function<std::string>(
                positional.name,
                [&o, slot](const std::string& text) {
                    o.arguments[slot] = text;
                    o.argumentCount = std::max(o.argumentCount, static_cast<int>(slot) + 1);
                },
                positional.help)
            ->required(positional.required)
            ->type_name("");
        ++slot;
    }
    return command;
}

void AddErd(CLI::App* command, CliOptions& o) {
    command->add_flag("--erd", o.erd, "show the result's extended fields (ERD)");
}

void AddCsv(CLI::App* command, CliOptions& o) {
    command->add_option("--csv", o.csv, "write each result to this CSV file as it is read");
    command->add_flag("--append", o.append, "add to the CSV file instead of replacing it (same header)")
        ->needs("--csv");
}

// A finite number with dot decimals and nothing else ("2,5" and "5abc" are refused).
CLI::Option* AddValue(CLI::App& app, const char* name, std::optional<double>& target, const char* help) {
    return app
        .add_option_function<std::string>(
            name, [&target](const std::string& text) { target = ParseSpcNumber(text); }, help)
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return ParseSpcNumber(text) ? "" : "takes a number such as 2.5, not \"" + text + "\"";
            },
            "X"));
}

// A text option that must not be empty.
CLI::Option* AddText(CLI::App* command, const char* name, std::optional<std::string>& target, const char* help) {
    return command->add_option(name, target, help)
        ->check(
            CLI::Validator([](std::string& text) { return text.empty() ? "takes a text, not nothing" : ""; }, "TEXT"));
}

// The options of a command that records results.
std::array<CLI::Option*, 2> AddRecording(CLI::App* command, CliOptions& o) {
    return {AddText(command, "--part", o.partId, "part id of the next result recorded"),
            AddText(command, "--operator", o.operatorName, "operator recorded with the results")};
}

// The commands, one small function each.
void AddStatus(CLI::App& app, CliOptions& o) { AddCommand(app, o, "status", "read the real-time status"); }
void AddLastResult(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "last-result", "read, record and decode the last result");
    AddErd(c, o);
    AddRecording(c, o);
}
void AddFifo(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "fifo", "read, record and decode the oldest result of the FIFO");
    AddErd(c, o);
    AddRecording(c, o);
}
void AddStart(CLI::App& app, CliOptions& o) { AddCommand(app, o, "start", "start a test cycle"); }
void AddReset(CLI::App& app, CliOptions& o) { AddCommand(app, o, "reset", "reset the cycle"); }
void AddClearFifo(CLI::App& app, CliOptions& o) { AddCommand(app, o, "clear-fifo", "empty the result FIFO"); }
void AddRead(CLI::App& app, CliOptions& o) {
    CLI::App* c =
        AddCommand(app, o, "read", "read registers",
                   {{"ADDR", "hexadecimal address, 0 to FFFF", true}, {"COUNT", "1 to 128 (default 1)", false}});
    c->add_flag("--input", o.input, "read input registers (function 4)");
}
void AddWriteWord(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "write-word", "write one register",
                             {{"ADDR", "hexadecimal address", true}, {"VALUE", "-32768 to 65535", true}});
    c->add_flag("--swap", o.swap, "swap the two bytes of the value");
}
void AddWriteLong(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "write-long", "write a 32-bit value as two registers",
               {{"ADDR", "hexadecimal address", true}, {"VALUE", "-2147483648 to 4294967295", true}});
}
void AddWriteCoil(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "write-coil", "switch a coil on", {{"ADDR", "hexadecimal address", true}});
}
void AddSearch(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "search", "find the station number of a single instrument");
}
void AddScan(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "scan", "list the stations that answer on the line");
    AddNumber(*c, "--from", o.from, 1, 247, "first station");
    AddNumber(*c, "--to", o.to, 1, 247, "last station");
}
void AddWatch(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "watch", "poll the status of stations in turn until stopped");
    c->add_option_function<std::string>(
         "--stations", [&o](const std::string& text) { o.stations = *ParseNumberList(text, 1, 247); },
         "stations such as 1,2,5-9")
        ->required()
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return ParseNumberList(text, 1, 247) ? ""
                                                     : "takes stations 1 to 247 such as 1,2,5-9, not \"" + text + "\"";
            },
            "LIST"));
    AddNumber(*c, "--interval", o.intervalMs, 0, 3600000, "milliseconds between rounds");
    AddNumber(*c, "--count", o.count, 1, 100000000, "rounds, then stop (default: until stopped)");
}
void AddReadTime(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "read-time", "list the cycle times and reject limits of a program", {{"PROG", "1 to 8", true}});
}
void AddSelectProg(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "select-prog", "make PROG the program the next cycle runs", {{"PROG", "1 to 8", true}});
}
void AddReadId(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "read-id", "read a parameter of a program by its number",
               {{"PROG", "1 to 8", true}, {"ID", "parameter number", true}});
}
void AddWriteId(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "write-id", "write a parameter of a program by its number",
               {{"PROG", "1 to 8", true}, {"ID", "parameter number", true}, {"VALUE", "decimal value", true}});
}
void AddCurves(CLI::App& app, CliOptions& o) { AddCommand(app, o, "curves", "list the two curve descriptions"); }
void AddCycle(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "cycle", "run test cycles unattended, programs 1 and 2 in turn");
    AddNumber(*c, "--count", o.count, 1, 100000000, "cycles (default 1)");
    AddNumber(*c, "--pause", o.pauseSeconds, 0, 86400, "seconds between cycles (default 0)");
    AddErd(c, o);
    AddCsv(c, o);
    AddRecording(c, o);
}
void AddRun(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "run", "select a program and start one cycle");
    AddNumber(*c, "--program", o.program, 1, 8, "the program")->required();
    CLI::Option* wait = c->add_flag("--wait", o.wait, "wait for the end of the cycle, read and record its result");
    AddErd(c, o);
    AddCsv(c, o);
    for (CLI::Option* recording : AddRecording(c, o)) recording->needs(wait);
}
void AddHistory(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "history", "list the results of the store (all, or one batch)");
    AddNumber(*c, "--batch", o.batch, 1, LLONG_MAX, "only this batch");
    c->add_option_function<std::string>(
         "--since", [&o](const std::string& text) { o.sinceMs = ParseIsoTimestamp(text); },
         "only results recorded at or after this time (2026-12-07, 2026-12-07T08:00+01:00 ...)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return ParseIsoTimestamp(text)
                           ? ""
                           : "takes an ISO 8601 time such as 2026-12-07T08:00:00+01:00, not \"" + text + "\"";
            },
            "ISO-TIME"));
    c->add_flag("--csv", o.csvOut, "print CSV (the history window's export columns)");
}
void AddSpc(CLI::App& app, CliOptions& o) {
    CLI::App* c =
        AddCommand(app, o, "spc", "capability and control chart of leak values (a file, or a program's results)");
    CLI::Option* values = c->add_option("--values", o.valuesFile, "file of leak values, one a line");
    CLI::Option* program =
        AddNumber(*c, "--program", o.program, 1, 8, "the results of this program in the store")->excludes(values);
    AddNumber(*c, "--batch", o.batch, 1, LLONG_MAX, "only this batch of the store")->needs(program);
    AddValue(*c, "--usl", o.usl, "upper limit (default with --program: its stored REJECT TEST)");
    AddValue(*c, "--lsl", o.lsl, "lower limit");
}
void AddGauge(CLI::App& app, CliOptions& o) {
    CLI::App* c = AddCommand(app, o, "gauge", "type-1 gauge study of the tester on one master part");
    AddValue(*c, "--reference", o.reference, "reference value of the master part")->required();
    AddValue(*c, "--tolerance", o.tolerance, "tolerance of the parts measured")->required();
    CLI::Option* values = c->add_option("--values", o.valuesFile, "file of leak values, one a line");
    CLI::Option* count =
        AddNumber(*c, "--count", o.count, 1, 100000, "run N cycles and study their results")->excludes(values);
    AddNumber(*c, "--program", o.program, 1, 8, "program of the cycles (default 1)")->needs(count);
    for (CLI::Option* recording : AddRecording(c, o)) recording->needs(count);
}
void AddPublish(CLI::App& app, CliOptions& o) {
    AddCommand(app, o, "publish", "send the results still waiting in the store to the broker of [Publish]");
}

using CommandAdder = void (*)(CLI::App&, CliOptions&);
constexpr CommandAdder kCommands[] = {AddStatus, AddLastResult, AddFifo,       AddStart,     AddReset,   AddClearFifo,
                                      AddRead,   AddWriteWord,  AddWriteLong,  AddWriteCoil, AddSearch,  AddScan,
                                      AddWatch,  AddReadTime,   AddSelectProg, AddReadId,    AddWriteId, AddCurves,
                                      AddCycle,  AddRun,        AddHistory,    AddPublish,   AddSpc,     AddGauge};

void AddLineOptions(CLI::App& app, CliOptions& o) {
    app.add_option("--port", o.port, "COMn of the INI file, a device path, tcp://HOST:PORT or rfc2217://HOST:PORT");
    AddNumber(app, "--station", o.station, 1, 255, "station (default: the INI file's, else 1)");
    app.add_option("--access", o.access, "register map")->check(CLI::IsMember({"standard", "direct"}));
    app.add_flag("--trace", o.trace, "print the <S>: and <R>: lines of every exchange");
    app.add_flag("--json", o.json, "print one JSON object (watch: one per line)");
    AddNumber(app, "--baud", o.baud, 50, 4000000, "baud rate for this run");
    app.add_option("--parity", o.parity, "parity for this run")->check(CLI::IsMember({"none", "odd", "even"}));
    AddNumber(app, "--data-bits", o.dataBits, 7, 8, "data bits for this run");
    AddNumber(app, "--stop-bits", o.stopBits, 1, 2, "stop bits for this run");
    AddNumber(app, "--timeout", o.timeoutMs, 1, 60000, "reply time-out in ms for this run");
    AddNumber(app, "--retries", o.retries, 1, 10, "attempts per transaction (default 3)");
}

}  // namespace

ParsedLine ParseCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    CliOptions options;
    CLI::App app(
        "The Modbus RTU master of the VEXLO leak tester on the command line: the console's frames,\n"
        "trace lines and result texts, for scripts.",
        "vexlo-cli");
    app.set_version_flag("--version", std::string("vexlo-cli ") + VEXLO_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done (run: a good part), 1 failed, 2 refused line or entry, 3 run: rejected part or alarm,\n"
        "130/143 stopped by SIGINT/SIGTERM, 141 standard output closed.\n"
        "Settings come from VexloModbusTester.ini and Serial.cfg of the current directory when present; results\n"
        "are recorded in VexloModbusTester.db beside the INI file (none without it).\n"
        "The options of vexlo-cli --help (port, station, line settings, --json, --trace) apply to every command\n"
        "that talks to the instrument; history takes --json, publish --json and --station.");
    AddLineOptions(app, options);
    for (const CommandAdder add : kCommands) add(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), out);
        return {std::nullopt, 0};
    } catch (const CLI::CallForVersion& version) {
        std::fprintf(out, "%s\n", version.what());
        return {std::nullopt, 0};
    } catch (const CLI::ParseError& error) {
        std::string reason = error.what();
        // The first word that is neither an option nor an option's value is meant as the command.
        for (int i = 1; i < argc && app.get_subcommands().empty(); ++i) {
            const std::string word = argv[i];
            if (word == "--") break;
            if (word.rfind('-', 0) == 0) {
                const CLI::Option* option =
                    word.find('=') == std::string::npos ? app.get_option_no_throw(word) : nullptr;
                if (option != nullptr && option->get_items_expected_max() > 0) ++i;  // its value follows
                continue;
            }
            bool known = false;
            for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
                known = known || command->get_name() == word;
            }
            if (!known) reason = "unknown command \"" + word + "\"";
            break;
        }
        std::fprintf(err,
                     "vexlo-cli: %s\n(vexlo-cli --help lists the commands, vexlo-cli COMMAND --help their options)\n",
                     reason.c_str());
        return {std::nullopt, 2};
    }
    return {options, 0};
}

}  // namespace vexlo::cli
