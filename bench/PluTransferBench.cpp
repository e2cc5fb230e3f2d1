// The PLU view's register transfers through the view's own code, offscreen,
// against the simulator pacing the line at 115200 bit/s; each measured time
// is divided by the time the bytes it exchanged need on the wire (every byte
// both ways, 10 bits a byte):
//   Save all to ECR   N rows with three register taxes: per row a tax list
//                     read and a write, one connection each
//   Load from ECR     M PLU items in one connection
// Side by side: the same save through the core loop without the view (what
// the view adds), and the tax list reads alone, N of them through the same
// core lookup the save makes for every row (how much of the save they take).
// The success box at the end of each command is closed at once and its time
// is left out. Usage: plu_transfer_bench [N [M]]

#include "core/app/ConstUnit.h"
#include "core/link/MyCPort.h"
#include "core/plu/PluTransfer.h"
#include "ecrsim/EcrSim.h"
#include "gui/plu/PluListUnit.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 115200;
constexpr double kBytesPerSecond = kBaud / 10.0;

struct TFigure {
    double seconds = 0;
    std::size_t bytes = 0;
    double Wire() const { return static_cast<double>(bytes) / kBytesPerSecond; }
};

void Print(const char* label, const TFigure& f)
{
    std::printf("%-30s %8.3f s measured %8.3f s on the wire (%zu bytes)  ratio %.3f\n", label, f.seconds, f.Wire(),
                f.bytes, f.seconds / f.Wire());
}

TPluRow Row(int n)
{
    TPluRow r;
    r.SetInt(TPluField::NUMB, n);
    r.SetText(TPluField::NAME, "Article number " + std::to_string(n));
    r.SetText(TPluField::UNIT, "BUC");
    r.SetInt(TPluField::TAX_GROUP, n % 4 + 1);
    r.SetInt(TPluField::PAY_TYPE, 1);
    r.SetInt(TPluField::PLU_GROUP, n % 30 + 1);
    r.SetInt(TPluField::PLU_SUBGROUP, n % 10 + 1);
    r.SetText(TPluField::BARCODE, std::to_string(3800000000000LL + n));
    r.SetFloat(TPluField::PRICE_SELL, 0.01 * n + 0.99);
    r.SetText(TPluField::ALTE_TAXE, n % 5 == 0 ? "Eco tax" : "");
    r.SetText(TPluField::FLAGS, "000000000");
    return r;
}

// Runs a command of the view and measures it up to its closing box, which is
// closed as soon as it shows (and its time taken off).
template <class F> double MeasureUpToTheBox(F command)
{
    Clock::time_point boxShown{};
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        if (boxShown == Clock::time_point{})
            boxShown = Clock::now();
        if (auto* ok = box->findChild<QPushButton*>(QStringLiteral("btnOk")))
            ok->click();
        else
            box->close();
    });
    closer.start(1);
    const auto start = Clock::now();
    command();
    const auto end = boxShown == Clock::time_point{} ? Clock::now() : boxShown;
    return std::chrono::duration<double>(end - start).count();
}

// Sends every row, answering nothing: no boxes, no status line, no events.
struct TQuietDecisions : TPluSaveDecisions {
    bool CancelRequested() override { return false; }
    TPluInvalidChoice Invalid(const TPluSendOutcome&) override { return TPluInvalidChoice::Ignore; }
    TPluFailureChoice Failed(const TPluSendOutcome&) override { return TPluFailureChoice::Skip; }
    void Sent(const TPluSendOutcome&) override {}
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int saveCount = argc > 1 ? std::atoi(argv[1]) : 500;
    const int loadCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir dir;
    if (!dir.isValid() || saveCount < 1 || loadCount < 1)
        return 1;
    const std::string folder = dir.path().toStdString() + "/";
    InitProgramLocation(folder + "morvane-tessel");
    SetComPortFolder(folder + "dosdevices/");

    ecrsim::TEcrSim sim;
    sim.SetBaudRate(kBaud);
    sim.SetLogging(true);
    if (!sim.Start() || !sim.LinkAs(folder + "dosdevices/com9")) {
        std::fprintf(stderr, "simulator: %s\n", sim.Error().c_str());
        return 1;
    }
    Set_ComPort = 9;
    EcrDevice.PortNumber = 9;
    MaxPluNumber = 30000;
    MaxPluSubgroup = 10;
    TPluListFrame view;
    view.resize(900, 500);
    view.show();
    view.InitPluView();

    // Save all: N rows, three taxes on the register.
    sim.PutFile("/fd0/4/alte/1", "alte,1,Eco tax\r\n");
    sim.PutFile("/fd0/4/alte/2", "alte,2,Bottle deposit\r\n");
    sim.PutFile("/fd0/4/alte/3", "alte,3,Tourist tax\r\n");
    for (int n = 1; n <= saveCount; ++n)
        view.Table().AppendRow(Row(n));
    auto* saveAll = view.findChild<QAction*>(QStringLiteral("NSaveAllToECR"));
    TFigure save;
    sim.ClearLogs();
    save.seconds = MeasureUpToTheBox([&] { saveAll->trigger(); });
    save.bytes = sim.RawReceived().size() + sim.RawSent().size();
    const bool saved = sim.ListFiles("/sd0/db0").size() == static_cast<std::size_t>(saveCount);

    // The same rows through the core loop alone.
    TFigure core;
    sim.ClearFiles();
    sim.PutFile("/fd0/4/alte/1", "alte,1,Eco tax\r\n");
    sim.PutFile("/fd0/4/alte/2", "alte,2,Bottle deposit\r\n");
    sim.PutFile("/fd0/4/alte/3", "alte,3,Tourist tax\r\n");
    TQuietDecisions quiet;
    sim.ClearLogs();
    auto start = Clock::now();
    const bool coreSaved = SavePluRows(view.Table(), AllPluRows(view.Table()), EcrDevice, kRegisterPluLimits,
                                       nullptr, quiet)
                               .AllWritten();
    core.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    core.bytes = sim.RawReceived().size() + sim.RawSent().size();

    // The tax list reads of the save alone, as many as it made.
    TFigure taxes;
    sim.ClearLogs();
    start = Clock::now();
    bool read = true;
    for (int n = 0; n < saveCount && read; ++n)
        read = GetAlteTaxeId(EcrDevice, "Eco tax", nullptr).Id == 1;
    taxes.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    taxes.bytes = sim.RawReceived().size() + sim.RawSent().size();

    // Load from ECR: M PLU items.
    sim.ClearFiles();
    sim.FillSample(loadCount);
    auto* loadAll = view.findChild<QAction*>(QStringLiteral("NLoadFromECR"));
    TFigure load;
    sim.ClearLogs();
    load.seconds = MeasureUpToTheBox([&] { loadAll->trigger(); });
    load.bytes = sim.RawReceived().size() + sim.RawSent().size();
    const bool loaded = view.Table().Count() == loadCount;

    std::printf("PLU view transfers at %d bit/s, offscreen\n", kBaud);
    Print(("Save all to ECR, " + std::to_string(saveCount) + " rows").c_str(), save);
    Print("  the same through the core", core);
    Print(("Load from ECR, " + std::to_string(loadCount) + " PLUs").c_str(), load);
    Print(("tax list reads alone, " + std::to_string(saveCount)).c_str(), taxes);
    std::printf("the tax list reads take %.1f %% of the save's time (%.1f %% of its bytes); %.2f ms a read\n",
                100.0 * taxes.seconds / save.seconds, 100.0 * static_cast<double>(taxes.bytes) / save.bytes,
                1000.0 * taxes.seconds / saveCount);
    const bool ok = saved && coreSaved && loaded && read;
    if (!ok)
        std::fprintf(stderr, "FAILED: saved %d/%d, loaded %d, taxes read %d\n", saved, coreSaved, loaded, read);
    sim.Stop();
    return ok ? 0 : 1;
}
