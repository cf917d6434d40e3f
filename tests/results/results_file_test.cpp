// The results file: a run written and read back bit for bit, what ncdump
// shows of it, and files that are not results files refused by name.
#include "results/results_file.h"
#include "results/form_record.h"
#include "support/run_fixture.h"

#include <QFile>
#include <QProcess>

#include <netcdf.h>

#include <cstring>

namespace velarion {
namespace {

class ResultsFileTest : public testing::RunFixture {
  protected:
    ResultsFileTest() {
        window.tickStep = 1;
        window.tick(ctl::CLogFile, false);
        window.setText(ctl::TINDICE_MATRICE2, "100");
        window.setText(ctl::TP, "1");
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    static void expectSameBits(double a, double b, const char* what, std::size_t i) {
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what << " " << i << ": " << a << " " << b;
    }
    static void expectSameRecord(const RunRecord& a, const RunRecord& b) {
        EXPECT_EQ(a.run, b.run);
        EXPECT_EQ(a.freeEnd, b.freeEnd);
        EXPECT_EQ(a.outcome, b.outcome);
        EXPECT_EQ(a.lastRow, b.lastRow);
        EXPECT_EQ(a.lastSegment, b.lastSegment);
        EXPECT_EQ(a.parameters.N, b.parameters.N);
        EXPECT_EQ(a.parameters.nitertemp, b.parameters.nitertemp);
        expectSameBits(a.parameters.DeltaT, b.parameters.DeltaT, "DeltaT", 0);
        expectSameBits(a.parameters.L0, b.parameters.L0, "L0", 0);
        expectSameBits(a.parameters.P, b.parameters.P, "P", 0);
        for (int j = 0; j <= a.lastRow; ++j) {
            for (int s = 0; s <= a.lastSegment; ++s) {
                const auto row = static_cast<std::size_t>(j);
                expectSameBits(a.positions->row(row)[s], b.positions->row(row)[s], "position", row);
            }
        }
        ASSERT_EQ(a.energy.kept().size(), b.energy.kept().size());
        EXPECT_EQ(a.energy.levels(), b.energy.levels());
        for (std::size_t k = 0; k < a.energy.kept().size(); ++k) {
            expectSameBits(a.energy.kept()[k].kinetic, b.energy.kept()[k].kinetic, "kinetic", k);
            expectSameBits(a.energy.kept()[k].strain, b.energy.kept()[k].strain, "strain", k);
            expectSameBits(a.energy.kept()[k].work, b.energy.kept()[k].work, "work", k);
        }
        ASSERT_EQ(a.energy.instability().has_value(), b.energy.instability().has_value());
        if (a.energy.instability()) {
            EXPECT_EQ(a.energy.instability()->level, b.energy.instability()->level);
            EXPECT_EQ(a.energy.instability()->growthSegment, b.energy.instability()->growthSegment);
        }
        ASSERT_EQ(a.envelope.has_value(), b.envelope.has_value());
        if (a.envelope) {
            for (std::size_t s = 0; s < a.envelope->minStress.size(); ++s) {
                expectSameBits(a.envelope->minDisplacement[s], b.envelope->minDisplacement[s],
                               "min displacement", s);
                expectSameBits(a.envelope->maxStress[s], b.envelope->maxStress[s], "max stress", s);
            }
        }
    }
};

// A double run of the seed's unstable end and a Girotondo run with its
// envelope: every number read back is the one written, bit for bit.
TEST_F(ResultsFileTest, ARunReadsBackBitForBit) {
    window.setText(ctl::TINDICE_MATRICE1, "1000");
    window.setText(ctl::Tnitertemp, "1000");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    auto record = recordOfForm(form);
    ASSERT_TRUE(record);
    ASSERT_TRUE(record->energy.instability());
    record->boxes = {{"TP", "1"}, {"TDeltaT", "0,000001"}};
    record->provenance = {
        "velarion-batch", "1.8", "avx2", 2, "2026-12-07T10:00:00Z", "--box TP=1 --results run.nc"};
    QString error;
    ASSERT_TRUE(writeResultsFile(*record, path("double.nc"), error)) << error.toStdString();
    const auto back = readResultsFile(path("double.nc"), error);
    ASSERT_TRUE(back) << error.toStdString();
    expectSameRecord(*record, *back);
    // Taking psi over gives the same record without a copy of its rows.
    const double* cells = form.psi.row(0);
    const auto taken = recordTakingPsi(form);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->positions->row(0), cells);
    expectSameRecord(*back, *taken);
    EXPECT_FALSE(form.psiRows);
    EXPECT_EQ(back->boxes, record->boxes);
    EXPECT_EQ(back->provenance.commandLine, record->provenance.commandLine);
    EXPECT_EQ(back->provenance.kernel, "avx2");
    EXPECT_EQ(back->provenance.threads, 2);

    window.setText(ctl::TN, "10");
    window.setText(ctl::TINDICE_MATRICE1, "50");
    window.setText(ctl::Tnitertemp, "50");
    form.freeEnd = FreeEnd::Restoring;
    GirotondoRun run(window, form, numbers, logPath());
    run.setEnvelope(true);
    ASSERT_EQ(run.run(), RunOutcome::Completed);
    record = recordOfForm(form);
    ASSERT_TRUE(record && record->envelope);
    ASSERT_TRUE(writeResultsFile(*record, path("girotondo.nc"), error)) << error.toStdString();
    const auto giro = readResultsFile(path("girotondo.nc"), error);
    ASSERT_TRUE(giro) << error.toStdString();
    expectSameRecord(*record, *giro);
    EXPECT_EQ(giro->levelOfRow(50), 3 * 10 * 50 - 1);
}

// A closing valve with friction against a dead end: the choices, and what
// friction dissipated and the valve worked, read back as written, in the
// format that a program of the seed's model alone refuses; a file of the
// seed's model stays format 1, and one written before the valves came (no
// first end, no friction, no diameter) reads as the seed's model.
TEST_F(ResultsFileTest, TheWaterHammerChoicesReadBack) {
    window.setText(ctl::TP, "0");
    window.setText(ctl::TINDICE_MATRICE1, "500");
    window.setText(ctl::Tnitertemp, "500");
    form.hammer = WaterHammer{FirstEnd::Valve, 0.0002, 0.03};
    form.freeEnd = FreeEnd::Closed;
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const auto record = recordOfForm(form);
    ASSERT_TRUE(record);
    ASSERT_GT(record->energy.kept().back().dissipated, 0);
    ASSERT_NE(record->energy.kept().back().valveWork, 0);
    QString error;
    ASSERT_TRUE(writeResultsFile(*record, path("valve.nc"), error)) << error.toStdString();
    const auto back = readResultsFile(path("valve.nc"), error);
    ASSERT_TRUE(back) << error.toStdString();
    expectSameRecord(*record, *back);
    EXPECT_EQ(back->hammer, form.hammer);
    EXPECT_EQ(back->freeEnd, FreeEnd::Closed);
    expectSameBits(back->parameters.D, 0.02, "D", 0);
    for (std::size_t k = 0; k < record->energy.kept().size(); ++k) {
        expectSameBits(back->energy.kept()[k].dissipated, record->energy.kept()[k].dissipated,
                       "dissipated", k);
        expectSameBits(back->energy.kept()[k].valveWork, record->energy.kept()[k].valveWork,
                       "valve work", k);
    }
    const auto format = [](const std::vector<ResultsAttribute>& attributes) {
        for (const ResultsAttribute& a : attributes) {
            if (a.name == "velarion_format") {
                return std::get<long long>(a.value);
            }
        }
        return -1LL;
    };
    EXPECT_EQ(format(resultsAttributes(*record)), 2);

    form.hammer = WaterHammer{};
    form.freeEnd = FreeEnd::Seed;
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const auto seeds = recordOfForm(form);
    EXPECT_EQ(format(resultsAttributes(*seeds)), 1);
    ASSERT_TRUE(writeResultsFile(*seeds, path("old.nc"), error)) << error.toStdString();
    int nc = -1;
    ASSERT_EQ(nc_open(QFile::encodeName(path("old.nc")).constData(), NC_WRITE, &nc), NC_NOERR);
    ASSERT_EQ(nc_redef(nc), NC_NOERR);
    for (const char* name : {"first_end", "friction", "D", "D_units"}) {
        ASSERT_EQ(nc_del_att(nc, NC_GLOBAL, name), NC_NOERR) << name;
    }
    ASSERT_EQ(nc_close(nc), NC_NOERR);
    const auto old = readResultsFile(path("old.nc"), error);
    ASSERT_TRUE(old) << error.toStdString();
    EXPECT_EQ(old->hammer, WaterHammer{});
    EXPECT_EQ(old->parameters.D, 0);
    expectSameRecord(*seeds, *old);
}

// What a NetCDF reader sees first: the CF conventions, the units and the
// coordinates of the positions.
TEST_F(ResultsFileTest, NcdumpShowsTheConventionsAndUnits) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    QString error;
    ASSERT_TRUE(writeResultsFile(*recordOfForm(form), path("run.nc"), error));
    QProcess ncdump;
    ncdump.start(QStringLiteral("ncdump"), {QStringLiteral("-hs"), path("run.nc")});
    ASSERT_TRUE(ncdump.waitForFinished(30000));
    const QString header = QString::fromUtf8(ncdump.readAllStandardOutput());
    for (const char* line :
         {"row = 31 ;", "segment = 101 ;", "double position(row, segment) ;",
          "position:units = \"m\" ;", "time:units = \"s\" ;", "kinetic_energy:units = \"J m-2\" ;",
          "max_stress:units = \"Pa\" ;", ":Conventions = \"CF-1.10\" ;", ":run = \"double\" ;",
          ":free_end = \"seed\" ;", ":first_end = \"counter-pressure\" ;",
          ":outcome = \"completed\" ;", ":instability = \"stable\" ;",
          "position:_Shuffle = \"true\" ;"}) {
        EXPECT_TRUE(header.contains(QLatin1String(line))) << line << "\n" << header.toStdString();
    }
}

// Files that are not results files: each refused with its name and the
// reason, nothing read.
TEST_F(ResultsFileTest, FilesThatAreNotResultsFilesAreRefusedByName) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    QString error;
    ASSERT_TRUE(writeResultsFile(*recordOfForm(form), path("run.nc"), error));
    QFile whole(path("run.nc"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();

    const auto refusal = [&](const char* name) {
        QString why;
        EXPECT_FALSE(readResultsFile(path(name), why)) << name;
        EXPECT_TRUE(why.startsWith(path(name) + " cannot be opened as a results file: "))
            << why.toStdString();
        return why;
    };
    const auto put = [&](const char* name, const QByteArray& contents) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contents);
    };
    put("empty.nc", QByteArray());
    put("half.nc", bytes.left(bytes.size() / 2));
    put("table.nc", "level,time,kinetic\r\n1,1e-06,30250\r\n");
    EXPECT_TRUE(refusal("missing.nc").endsWith("it does not exist."));
    EXPECT_TRUE(refusal("empty.nc").contains("not a NetCDF file"))
        << refusal("empty.nc").toStdString();
    EXPECT_TRUE(refusal("table.nc").endsWith("it is not a NetCDF file."));
    EXPECT_FALSE(refusal("half.nc").isEmpty());

    // A NetCDF-4 (HDF5) file of someone else's, and one of a later format.
    int nc = -1;
    ASSERT_EQ(nc_create(QFile::encodeName(path("foreign.nc")).constData(), NC_NETCDF4, &nc),
              NC_NOERR);
    ASSERT_EQ(nc_close(nc), NC_NOERR);
    EXPECT_TRUE(refusal("foreign.nc").contains("not a Velarion results file"));
    put("later.nc", bytes);
    ASSERT_EQ(nc_open(QFile::encodeName(path("later.nc")).constData(), NC_WRITE, &nc), NC_NOERR);
    const long long later = kResultsFormat + 1;
    ASSERT_EQ(nc_put_att_longlong(nc, NC_GLOBAL, "velarion_format", NC_INT64, 1, &later), NC_NOERR);
    ASSERT_EQ(nc_close(nc), NC_NOERR);
    EXPECT_TRUE(refusal("later.nc").contains("comes from a newer Velarion"));
}

// A file that cannot be written whole is not written at all: the old one
// stays.
TEST_F(ResultsFileTest, AFailedWriteKeepsTheOldFile) {
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    QFile old(path("kept.nc"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("OLD");
    old.close();
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path("full.nc")));
    QString error;
    EXPECT_FALSE(writeResultsFile(*recordOfForm(form), path("full.nc"), error));
    EXPECT_TRUE(error.contains("full.nc could not be written: No space left on device"))
        << error.toStdString();
    EXPECT_FALSE(writeResultsFile(*recordOfForm(form), path("no/such/kept.nc"), error));
    EXPECT_EQ(velarion::testing::contentsOf(path("kept.nc")), "OLD");
}

}  // namespace
}  // namespace velarion
