// How long the user-interface thread goes without serving its events while the window runs an
// exchange against the simulated radio on a pseudo-terminal: a timer asks to run every
// millisecond, and the longest gap between two of its turns is the longest stretch in which the
// window could not have painted or taken a click. Prints one line per exchange:
//   <name> exchange_ms=<wall time> longest_stall_ms=<gap>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "procedures/EsnProgramming.h"
#include "procedures/RadioInfo.h"
#include "procedures/SerialPortOpener.h"
#include "tests/support/MemoryRegistry.h"
#include "tools/radio-sim/RadioSimulator.h"
#include "ui/ExchangeRunner.h"

namespace varnel {
namespace {

// Takes the messages without showing them: a box would wait for a person.
class QuietReporter final : public IMessageReporter {
public:
    void Show(const Message&) override {}
};

struct Figures {
    qint64 exchangeMs = 0;
    qint64 longestStallMs = 0;
};

template <class Procedure>
Figures Measure(const std::string& profileDir, const char* profileName, Procedure procedure) {
    sim::RadioProfile profile;
    std::string error;
    if (!sim::LoadProfile(profileDir + "/" + profileName, profile, error)) {
        std::fprintf(stderr, "gui-stall: %s\n", error.c_str());
        std::exit(2);
    }
    sim::RadioSimulator radio(profile);
    radio.SetPacing(true);
    if (!radio.Start(&error)) {
        std::fprintf(stderr, "gui-stall: %s\n", error.c_str());
        std::exit(2);
    }
    CRadioLink link;
    QuietReporter reporter;
    CExchangeRunner runner;
    Session session(
        link, reporter, SystemClock(),
        SerialPortOpener([path = radio.SlavePath()](const std::string&) { return path; }), "COM1");
    session.runner = runner.For("Benchmark", nullptr);
    // The registry's own time is measured apart; here only the window's stalls count.
    test::MemoryRegistry registry;
    session.registry = &registry;

    Figures figures;
    QElapsedTimer sinceTurn;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        figures.longestStallMs = std::max(figures.longestStallMs, sinceTurn.restart());
    });
    QElapsedTimer wall;
    wall.start();
    sinceTurn.start();
    turns.start(1);
    procedure(session);
    turns.stop();
    figures.exchangeMs = wall.elapsed();
    figures.longestStallMs = std::max(figures.longestStallMs, sinceTurn.elapsed());
    return figures;
}

void Print(const char* name, const Figures& f) {
    std::printf("%s exchange_ms=%lld longest_stall_ms=%lld\n", name,
                static_cast<long long>(f.exchangeMs), static_cast<long long>(f.longestStallMs));
}

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnel-gui-stall-bench PROFILE_DIR\n");
        return 64;
    }
    QApplication application(argc, argv);
    using namespace varnel;
    const std::string profiles = argv[1];
    Print("radio-info", Measure(profiles, "programmed.profile", [](Session& s) {
              return RunProcedure(s, ReadRadioInfo).outcome == Outcome::Done;
          }));
    Print("program-esn", Measure(profiles, "blank.profile", [](Session& s) {
              return RunProcedure(s, CheckEsnBlank).outcome == Outcome::Done &&
                     RunProcedure(s, [](Session& t) {
                         return ProgramEsn(t, EsnFields{130, 5, 123456});
                     }).outcome == Outcome::Done;
          }));
    return 0;
}
