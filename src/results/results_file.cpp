// The results file: a run's record in NetCDF-4 with CF-1.10 conventions.
#include "results_file.h"

#include "model/number_text.h"
#include "model/stability.h"
#include "output/whole_file.h"
#include "stability_verdict.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <H5public.h>
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace velarion {

namespace {

// Positions are stored in chunks of whole rows of about this many cells.
constexpr std::size_t kChunkCells = 1 << 17;

// A NetCDF call that failed, with the library's reason.
struct NcFailure {
    QString reason;
    int status = NC_NOERR;
};

void check(int status) {
    if (status != NC_NOERR) {
        throw NcFailure{QString::fromUtf8(nc_strerror(status)), status};
    }
}

constexpr std::array kRunNames{"double", "girotondo", "precision"};
constexpr std::array kOutcomeNames{"completed", "stopped", "failed"};

const char* runName(RunKind run) {
    return kRunNames[static_cast<std::size_t>(run)];
}

QString outcomeName(const std::optional<RunOutcome>& outcome) {
    return outcome ? QString::fromLatin1(kOutcomeNames[static_cast<std::size_t>(*outcome)])
                   : QStringLiteral("under way");
}

// The parameters as global attributes, with their units.
struct ParameterField {
    const char* name;
    double Parameters::*value;
    const char* units;
};
constexpr ParameterField kParameterFields[] = {
    {"Rho", &Parameters::Rho, "kg m-3"}, {"VFase", &Parameters::VFase, "m s-1"},
    {"V0", &Parameters::V0, "m s-1"},    {"DeltaT", &Parameters::DeltaT, "s"},
    {"P", &Parameters::P, "Pa"},         {"A", &Parameters::A, "m2"},
    {"F", &Parameters::F, "N"},          {"tot", &Parameters::tot, "s"},
    {"B", &Parameters::B, "Pa"},         {"L0", &Parameters::L0, "m"},
    {"D", &Parameters::D, "m"},
};

// The energy terms, by variable: the three terms, then their total.
constexpr const char* kEnergyNames[] = {"kinetic_energy", "strain_energy", "work", "total_energy"};
constexpr double LevelEnergy::*kEnergyTerms[] = {&LevelEnergy::kinetic, &LevelEnergy::strain,
                                                 &LevelEnergy::work};
// With a valve or friction: what friction dissipated and the valve worked.
constexpr const char* kFlowNames[] = {"dissipated_energy", "valve_work"};
constexpr double LevelEnergy::*kFlowTerms[] = {&LevelEnergy::dissipated, &LevelEnergy::valveWork};

// The first results format that knows the valves, the dead end and
// friction: a file of such a run is refused by a program that would read
// it as the seed's model.
constexpr int kWaterHammerFormat = 2;

bool isSeedsModel(const RunRecord& r) {
    return r.hammer.isSeeds() && r.freeEnd != FreeEnd::Closed;
}

// The envelope's extremes, by variable.
struct EnvelopeField {
    const char* name;
    std::vector<double> EnvelopeExtremes::*values;
};
constexpr EnvelopeField kEnvelopeFields[] = {
    {"min_displacement", &EnvelopeExtremes::minDisplacement},
    {"max_displacement", &EnvelopeExtremes::maxDisplacement},
    {"min_stress", &EnvelopeExtremes::minStress},
    {"max_stress", &EnvelopeExtremes::maxStress},
};

constexpr ResultsVariable kVariables[] = {
    {"segment", "segment index", nullptr},
    {"level", "time level of the stored row", nullptr},
    {"time", "simulated time of the stored row", "s"},
    {"position", "position of the segment along the pipe", "m"},
    {"position_text", "position as the decimal arithmetic wrote it", "m"},
    {"energy_level", "time level of the energy, paired with the one before", nullptr},
    {"energy_time", "simulated time of the energy", "s"},
    {"kinetic_energy", "kinetic energy of the level paired with the one before", "J m-2"},
    {"strain_energy", "strain energy of the level paired with the one before", "J m-2"},
    {"work", "work of the counter pressure", "J m-2"},
    {"total_energy", "kinetic and strain energy and work", "J m-2"},
    {"dissipated_energy", "energy dissipated by friction up to the level", "J m-2"},
    {"valve_work", "work done by the valve on the column up to the level", "J m-2"},
    {"min_displacement", "lowest displacement from rest over every level", "m"},
    {"max_displacement", "highest displacement from rest over every level", "m"},
    {"min_stress", "lowest stress of the piece after the segment, positive in compression", "Pa"},
    {"max_stress", "highest stress of the piece after the segment, positive in compression", "Pa"},
};

const ResultsVariable& describe(const char* name) {
    for (const ResultsVariable& v : kVariables) {
        if (std::strcmp(v.name, name) == 0) {
            return v;
        }
    }
    std::abort();  // every variable written is in the table
}

// A file whose writing failed in HDF5 (a full disk, a file size limit)
// cannot be closed: HDF5 keeps it open, and both nc_abort and HDF5's
// clean-up at exit then crash on it. Such a file is left open (a handle
// lost for each failed write), and HDF5 is told before its first use not to
// clean up at exit; this code closes every other file it opens, and the
// system closes what is left.
void keepHdf5FromCleaningUpAtExit() {
    static const bool told = [] {
        H5dont_atexit();
        return true;
    }();
    (void)told;
}

class Writer {
  public:
    Writer(const RunRecord& record, int deflateLevel) : r_(record), deflateLevel_(deflateLevel) {}

    // The whole file, made at `scratch` and read back. (A file that the
    // library makes in memory keeps HDF5's mark of a file open for writing,
    // and cannot be opened for writing again.)
    QByteArray bytes(const QString& scratch) {
        keepHdf5FromCleaningUpAtExit();
        check(nc_create(QFile::encodeName(scratch).constData(), NC_NETCDF4 | NC_CLOBBER, &nc_));
        try {
            defineGlobals();
            defineVariables();
            check(nc_enddef(nc_));
            writeVariables();
        } catch (const NcFailure& failure) {
            if (failure.status != NC_EHDFERR) {
                nc_abort(nc_);
            }
            throw;
        } catch (...) {
            nc_abort(nc_);
            throw;
        }
        check(nc_close(nc_));
        QFile made(scratch);
        if (!made.open(QIODevice::ReadOnly)) {
            throw NcFailure{made.errorString()};
        }
        return made.readAll();
    }

  private:
    std::size_t rows() const { return static_cast<std::size_t>(r_.lastRow + 1); }
    std::size_t segments() const { return static_cast<std::size_t>(r_.lastSegment + 1); }

    void text(int variable, const char* name, const QString& value) {
        const QByteArray bytes = value.toUtf8();
        check(nc_put_att_text(nc_, variable, name, static_cast<std::size_t>(bytes.size()),
                              bytes.constData()));
    }
    void number(int variable, const char* name, double value) {
        check(nc_put_att_double(nc_, variable, name, NC_DOUBLE, 1, &value));
    }
    void whole(int variable, const char* name, long long value) {
        check(nc_put_att_longlong(nc_, variable, name, NC_INT64, 1, &value));
    }
    int variable(const char* name, nc_type type, std::initializer_list<int> dims) {
        int id = 0;
        const std::vector<int> shape(dims);
        check(nc_def_var(nc_, name, type, static_cast<int>(shape.size()), shape.data(), &id));
        const ResultsVariable& v = describe(name);
        text(id, "long_name", QString::fromUtf8(v.longName));
        if (v.units != nullptr) {
            text(id, "units", QString::fromLatin1(v.units));
        }
        return id;
    }

    void defineGlobals() {
        for (const ResultsAttribute& attribute : resultsAttributes(r_)) {
            const char* name = attribute.name.c_str();
            if (const auto* t = std::get_if<QString>(&attribute.value)) {
                text(NC_GLOBAL, name, *t);
            } else if (const auto* x = std::get_if<double>(&attribute.value)) {
                number(NC_GLOBAL, name, *x);
            } else {
                whole(NC_GLOBAL, name, std::get<long long>(attribute.value));
            }
        }
    }

    void defineVariables() {
        check(nc_def_dim(nc_, "row", rows(), &row_));
        check(nc_def_dim(nc_, "segment", segments(), &segment_));
        segmentVar_ = variable("segment", NC_INT, {segment_});
        levelVar_ = variable("level", NC_INT64, {row_});
        timeVar_ = variable("time", NC_DOUBLE, {row_});
        if (r_.positions) {
            position_ = variable("position", NC_DOUBLE, {row_, segment_});
            text(position_, "coordinates", QStringLiteral("level time"));
            const std::size_t chunk[] = {std::clamp<std::size_t>(kChunkCells / segments(), 1,
                                                                 std::max<std::size_t>(rows(), 1)),
                                         segments()};
            check(nc_def_var_chunking(nc_, position_, NC_CHUNKED, chunk));
            if (deflateLevel_ > 0) {
                check(nc_def_var_deflate(nc_, position_, 1, 1, deflateLevel_));
            }
        }
        if (r_.positionTexts) {
            positionText_ = variable("position_text", NC_STRING, {row_, segment_});
        }
        defineEnergy();
        defineEnvelope();
    }

    void defineEnergy() {
        const std::size_t kept = r_.energy.kept().size();
        check(nc_def_dim(nc_, "energy_level", kept, &energyLevel_));
        energyLevelVar_ = variable("energy_level", NC_INT64, {energyLevel_});
        energyTimeVar_ = variable("energy_time", NC_DOUBLE, {energyLevel_});
        for (const char* name : kEnergyNames) {
            energyVars_.push_back(variable(name, NC_DOUBLE, {energyLevel_}));
            text(energyVars_.back(), "coordinates", QStringLiteral("energy_time"));
        }
        if (!r_.hammer.isSeeds()) {
            for (const char* name : kFlowNames) {
                flowVars_.push_back(variable(name, NC_DOUBLE, {energyLevel_}));
                text(flowVars_.back(), "coordinates", QStringLiteral("energy_time"));
            }
        }
    }

    void defineEnvelope() {
        if (!r_.envelope) {
            return;
        }
        for (const EnvelopeField& field : kEnvelopeFields) {
            envelopeVars_.push_back(variable(field.name, NC_DOUBLE, {segment_}));
            const double none = std::numeric_limits<double>::quiet_NaN();
            check(nc_put_att_double(nc_, envelopeVars_.back(), "_FillValue", NC_DOUBLE, 1, &none));
        }
    }

    void writeVariables() {
        std::vector<int> segmentIndex(segments());
        for (std::size_t s = 0; s < segmentIndex.size(); ++s) {
            segmentIndex[s] = static_cast<int>(s);
        }
        check(nc_put_var_int(nc_, segmentVar_, segmentIndex.data()));
        std::vector<long long> levels(rows());
        std::vector<double> times(rows());
        for (std::size_t j = 0; j < rows(); ++j) {
            levels[j] = r_.levelOfRow(static_cast<int>(j));
            times[j] = r_.secondsOfRow(static_cast<int>(j));
        }
        check(nc_put_var_longlong(nc_, levelVar_, levels.data()));
        check(nc_put_var_double(nc_, timeVar_, times.data()));
        writePositions();
        writeEnergy();
        if (r_.envelope) {
            for (std::size_t i = 0; i < envelopeVars_.size(); ++i) {
                check(nc_put_var_double(nc_, envelopeVars_[i],
                                        ((*r_.envelope).*kEnvelopeFields[i].values).data()));
            }
        }
    }

    void writePositions() {
        for (std::size_t j = 0; r_.positions && j < rows(); ++j) {
            const std::size_t start[] = {j, 0};
            const std::size_t count[] = {1, segments()};
            check(nc_put_vara_double(nc_, position_, start, count, r_.positions->row(j)));
        }
        for (int j = 0; r_.positionTexts && j < static_cast<int>(rows()); ++j) {
            std::vector<QByteArray> texts;
            std::vector<const char*> pointers;
            for (int s = 0; s < static_cast<int>(segments()); ++s) {
                texts.push_back(r_.positionTexts->at(j, s).toUtf8());
            }
            for (const QByteArray& t : texts) {
                pointers.push_back(t.constData());
            }
            const std::size_t start[] = {static_cast<std::size_t>(j), 0};
            const std::size_t count[] = {1, segments()};
            check(nc_put_vara_string(nc_, positionText_, start, count, pointers.data()));
        }
    }

    void writeEnergy() {
        const auto kept = r_.energy.kept();
        std::vector<long long> levels(kept.size());
        std::vector<double> times(kept.size());
        for (std::size_t k = 0; k < kept.size(); ++k) {
            levels[k] = static_cast<long long>(k) + 1;
            times[k] = static_cast<double>(levels[k]) * r_.parameters.DeltaT;
        }
        if (kept.empty()) {
            return;
        }
        check(nc_put_var_longlong(nc_, energyLevelVar_, levels.data()));
        check(nc_put_var_double(nc_, energyTimeVar_, times.data()));
        std::vector<double> values(kept.size());
        for (std::size_t i = 0; i < energyVars_.size(); ++i) {
            for (std::size_t k = 0; k < kept.size(); ++k) {
                values[k] =
                    i < std::size(kEnergyTerms) ? kept[k].*kEnergyTerms[i] : kept[k].total();
            }
            check(nc_put_var_double(nc_, energyVars_[i], values.data()));
        }
        for (std::size_t i = 0; i < flowVars_.size(); ++i) {
            for (std::size_t k = 0; k < kept.size(); ++k) {
                values[k] = kept[k].*kFlowTerms[i];
            }
            check(nc_put_var_double(nc_, flowVars_[i], values.data()));
        }
    }

    const RunRecord& r_;
    int deflateLevel_;
    int nc_ = -1;
    int row_ = -1, segment_ = -1, energyLevel_ = -1;
    int segmentVar_ = -1, levelVar_ = -1, timeVar_ = -1, position_ = -1, positionText_ = -1;
    int energyLevelVar_ = -1, energyTimeVar_ = -1;
    std::vector<int> energyVars_;
    std::vector<int> flowVars_;
    std::vector<int> envelopeVars_;
};

// A file refused for a reason of its own, not the library's.
struct NotOurs {
    QString reason;
};

class Reader {
  public:
    explicit Reader(int nc) : nc_(nc) {}

    RunRecord record() {
        checkFormat();
        RunRecord r;
        r.run = static_cast<RunKind>(indexOf(text("run"), kRunNames));
        r.freeEnd = named(text("free_end"), freeEndNamed);
        // Files of the seed's model before the valves came have no first end.
        if (hasAttribute("first_end")) {
            r.hammer.firstEnd = named(text("first_end"), firstEndNamed);
            r.hammer.friction = number("friction");
        }
        if (r.hammer.firstEnd == FirstEnd::Valve) {
            r.hammer.closingTime = number("closing_time");
        }
        const QString outcome = text("outcome");
        if (outcome != QLatin1String("under way")) {
            r.outcome = static_cast<RunOutcome>(indexOf(outcome, kOutcomeNames));
        }
        r.message = text("message");
        readProvenance(r.provenance);
        readBoxes(r);
        for (const ParameterField& field : kParameterFields) {
            // The diameter came with friction; older files go without.
            r.parameters.*field.value =
                hasAttribute(field.name) || std::strcmp(field.name, "D") != 0 ? number(field.name)
                                                                              : 0;
        }
        r.parameters.nitertemp = static_cast<std::int16_t>(whole("nitertemp"));
        r.parameters.N = static_cast<std::int16_t>(whole("N"));
        r.lastSegment = static_cast<int>(whole("last_segment"));
        r.lastRow = static_cast<int>(length("row")) - 1;
        if (length("segment") != static_cast<std::size_t>(r.lastSegment) + 1) {
            throw NotOurs{QStringLiteral("its segment dimension does not match last_segment")};
        }
        readPositions(r);
        readEnergy(r);
        readEnvelope(r);
        return r;
    }

  private:
    void checkFormat() {
        long long format = 0;
        if (nc_get_att_longlong(nc_, NC_GLOBAL, "velarion_format", &format) != NC_NOERR) {
            throw NotOurs{QStringLiteral("it is not a Velarion results file (no velarion_format)")};
        }
        if (format > kResultsFormat) {
            throw NotOurs{QStringLiteral("it comes from a newer Velarion (results format %1; this "
                                         "program reads format %2 and older)")
                              .arg(format)
                              .arg(kResultsFormat)};
        }
    }

    template <class End>
    static End named(const QString& name, std::optional<End> (*lookUp)(const QString&)) {
        if (const auto end = lookUp(name)) {
            return *end;
        }
        throw NotOurs{QStringLiteral("it names an unknown value \"%1\"").arg(name)};
    }

    bool hasAttribute(const char* name) {
        return nc_inq_att(nc_, NC_GLOBAL, name, nullptr, nullptr) == NC_NOERR;
    }

    template <std::size_t n>
    static std::size_t indexOf(const QString& name, const std::array<const char*, n>& names) {
        for (std::size_t i = 0; i < n; ++i) {
            if (name == QLatin1String(names[i])) {
                return i;
            }
        }
        throw NotOurs{QStringLiteral("it names an unknown value \"%1\"").arg(name)};
    }

    QString text(const char* name, int variable = NC_GLOBAL) {
        std::size_t size = 0;
        check(nc_inq_attlen(nc_, variable, name, &size));
        std::string value(size, '\0');
        check(nc_get_att_text(nc_, variable, name, value.data()));
        return QString::fromUtf8(value.data(), static_cast<qsizetype>(size));
    }
    double number(const char* name) {
        double value = 0;
        check(nc_get_att_double(nc_, NC_GLOBAL, name, &value));
        return value;
    }
    long long whole(const char* name) {
        long long value = 0;
        check(nc_get_att_longlong(nc_, NC_GLOBAL, name, &value));
        return value;
    }
    std::size_t length(const char* dimension) {
        int id = 0;
        std::size_t size = 0;
        check(nc_inq_dimid(nc_, dimension, &id));
        check(nc_inq_dimlen(nc_, id, &size));
        return size;
    }
    int variableId(const char* name) {
        int id = -1;
        return nc_inq_varid(nc_, name, &id) == NC_NOERR ? id : -1;
    }

    void readProvenance(RunProvenance& made) {
        const QString source = text("source");
        made.program = source.section(QLatin1Char(' '), 0, 0);
        made.version = source.section(QLatin1Char(' '), 1);
        made.kernel = text("kernel");
        made.threads = static_cast<int>(whole("threads"));
        made.date = text("date");
        const QString history = text("history");
        const QString prefix = made.date + QStringLiteral(": ") + made.program;
        made.commandLine =
            history.startsWith(prefix) ? history.mid(prefix.size()).trimmed() : QString();
    }

    void readBoxes(RunRecord& r) {
        int count = 0;
        check(nc_inq_natts(nc_, &count));
        for (int i = 0; i < count; ++i) {
            char name[NC_MAX_NAME + 1] = {};
            check(nc_inq_attname(nc_, NC_GLOBAL, i, name));
            const QString attribute = QString::fromLatin1(name);
            if (attribute.startsWith(QLatin1String("box_"))) {
                r.boxes.emplace_back(attribute.mid(4), text(name));
            }
        }
    }

    void readPositions(RunRecord& r) {
        const auto rows = static_cast<std::size_t>(r.lastRow + 1);
        const auto segments = static_cast<std::size_t>(r.lastSegment + 1);
        if (const int id = variableId("position"); id >= 0) {
            auto positions = std::make_shared<Matrix>(Matrix::tryCreate(rows, segments));
            if (positions->empty() && rows > 0) {
                throw NotOurs{QStringLiteral("there is not enough memory for its positions")};
            }
            for (std::size_t j = 0; j < rows; ++j) {
                const std::size_t start[] = {j, 0};
                const std::size_t count[] = {1, segments};
                check(nc_get_vara_double(nc_, id, start, count, positions->row(j)));
            }
            r.positions = std::move(positions);
        }
        if (const int id = variableId("position_text"); id >= 0) {
            auto texts = std::make_shared<TextMatrix>();
            texts->rows = static_cast<int>(rows);
            texts->columns = static_cast<int>(segments);
            std::vector<char*> row(segments);
            for (std::size_t j = 0; j < rows; ++j) {
                const std::size_t start[] = {j, 0};
                const std::size_t count[] = {1, segments};
                check(nc_get_vara_string(nc_, id, start, count, row.data()));
                for (char* cell : row) {
                    texts->cells.push_back(QString::fromUtf8(cell));
                }
                nc_free_string(segments, row.data());
            }
            r.positionTexts = std::move(texts);
        }
    }

    std::vector<double> doubles(const char* name, std::size_t size) {
        std::vector<double> values(size);
        const int id = variableId(name);
        if (id < 0) {
            throw NotOurs{QStringLiteral("it has no variable %1").arg(QLatin1String(name))};
        }
        if (size > 0) {
            check(nc_get_var_double(nc_, id, values.data()));
        }
        return values;
    }

    void readEnergy(RunRecord& r) {
        const std::size_t kept = length("energy_level");
        std::vector<LevelEnergy> levels(kept);
        for (std::size_t i = 0; i < std::size(kEnergyTerms); ++i) {
            const std::vector<double> values = doubles(kEnergyNames[i], kept);
            for (std::size_t k = 0; k < kept; ++k) {
                levels[k].*kEnergyTerms[i] = values[k];
            }
        }
        for (std::size_t i = 0; i < std::size(kFlowTerms); ++i) {
            if (variableId(kFlowNames[i]) < 0) {
                continue;
            }
            const std::vector<double> values = doubles(kFlowNames[i], kept);
            for (std::size_t k = 0; k < kept; ++k) {
                levels[k].*kFlowTerms[i] = values[k];
            }
        }
        std::optional<Instability> instability;
        long long level = 0;
        if (nc_get_att_longlong(nc_, NC_GLOBAL, "energy_instability_level", &level) == NC_NOERR) {
            instability =
                Instability{level, number("energy_instability_reference"),
                            number("energy_instability_energy"), number("energy_instability_scale"),
                            static_cast<int>(whole("energy_instability_growth_segment"))};
        }
        r.energy =
            EnergyRecord::restored(std::move(levels), whole("energy_levels_checked"), instability);
    }

    void readEnvelope(RunRecord& r) {
        if (variableId(kEnvelopeFields[0].name) < 0) {
            return;
        }
        EnvelopeExtremes extremes;
        for (const EnvelopeField& field : kEnvelopeFields) {
            extremes.*field.values =
                doubles(field.name, static_cast<std::size_t>(r.lastSegment) + 1);
        }
        r.envelope = std::move(extremes);
    }

    int nc_;
};

}  // namespace

std::vector<ResultsAttribute> resultsAttributes(const RunRecord& r) {
    std::vector<ResultsAttribute> a;
    const auto text = [&a](std::string name, const QString& value) {
        a.push_back({std::move(name), value});
    };
    const auto number = [&a](std::string name, double value) {
        a.push_back({std::move(name), value});
    };
    const auto whole = [&a](std::string name, long long value) {
        a.push_back({std::move(name), value});
    };
    const QString run = QString::fromLatin1(runName(r.run));
    const RunProvenance& made = r.provenance;
    text("Conventions", QStringLiteral("CF-1.10"));
    text("title", QStringLiteral("Velarion %1 run of a fluid column in a pipe").arg(run));
    text("source", QStringLiteral("%1 %2").arg(made.program, made.version));
    text("history",
         QStringLiteral("%1: %2%3")
             .arg(made.date, made.program,
                  made.commandLine.isEmpty() ? QString() : QLatin1Char(' ') + made.commandLine));
    whole("velarion_format", isSeedsModel(r) ? 1 : kWaterHammerFormat);
    text("run", run);
    text("free_end", freeEndName(r.freeEnd));
    text("first_end", firstEndName(r.hammer.firstEnd));
    if (r.hammer.firstEnd == FirstEnd::Valve) {
        number("closing_time", r.hammer.closingTime);
        text("closing_time_units", QStringLiteral("s"));
    }
    number("friction", r.hammer.friction);
    text("outcome", outcomeName(r.outcome));
    text("message", r.message);
    text("kernel", made.kernel);
    whole("threads", made.threads);
    text("date", made.date);
    number("courant_number", courantNumber(r.parameters));
    const auto verdict = r.run == RunKind::Precision
                             ? std::nullopt
                             : judgeStability(r.parameters, r.freeEnd, r.lastSegment, r.energy);
    text("instability", verdict ? QStringLiteral("unstable from level %1: %2")
                                      .arg(verdict->level)
                                      .arg(instabilityReason(*verdict, NumberText(QLocale::c())))
                                : QStringLiteral("stable"));
    if (const auto& found = r.energy.instability()) {
        whole("energy_instability_level", found->level);
        number("energy_instability_reference", found->reference);
        number("energy_instability_energy", found->energy);
        number("energy_instability_scale", found->scale);
        whole("energy_instability_growth_segment", found->growthSegment);
    }
    for (const auto& [box, typed] : r.boxes) {
        text("box_" + box.toStdString(), typed);
    }
    for (const ParameterField& field : kParameterFields) {
        number(field.name, r.parameters.*field.value);
        text(std::string(field.name) + "_units", QString::fromLatin1(field.units));
    }
    whole("nitertemp", r.parameters.nitertemp);
    whole("N", r.parameters.N);
    whole("last_segment", r.lastSegment);
    whole("energy_levels_checked", r.energy.levels());
    return a;
}

std::span<const ResultsVariable> resultsVariables() {
    return kVariables;
}

bool writeResultsFile(const RunRecord& record, const QString& path, QString& error,
                      int deflateLevel) {
    QByteArray file;
    try {
        const ScratchFile scratch(QStringLiteral(".nc"));
        if (!scratch.isValid()) {
            throw NcFailure{scratch.errorString()};
        }
        file = Writer(record, deflateLevel).bytes(scratch.path());
    } catch (const NcFailure& failure) {
        error =
            QStringLiteral("The results file %1 could not be made: %2.").arg(path, failure.reason);
        return false;
    }
    QString reason;
    if (!writeWholeFile(path, file, reason)) {
        error = QStringLiteral("The results file %1 could not be written: %2.").arg(path, reason);
        return false;
    }
    return true;
}

std::optional<RunRecord> readResultsFile(const QString& path, QString& error) {
    const auto refuse = [&](const QString& why) {
        error = QStringLiteral("%1 cannot be opened as a results file: %2.").arg(path, why);
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        return refuse(QStringLiteral("it does not exist"));
    }
    if (info.isDir()) {
        return refuse(QStringLiteral("it is a folder"));
    }
    keepHdf5FromCleaningUpAtExit();
    int nc = -1;
    const int opened = nc_open(QFile::encodeName(path).constData(), NC_NOWRITE, &nc);
    if (opened != NC_NOERR) {
        return refuse(opened == NC_ENOTNC ? QStringLiteral("it is not a NetCDF file")
                                          : QStringLiteral("it is damaged or truncated (%1)")
                                                .arg(QString::fromUtf8(nc_strerror(opened))));
    }
    std::optional<RunRecord> record;
    try {
        record = Reader(nc).record();
    } catch (const NotOurs& notOurs) {
        nc_close(nc);
        return refuse(notOurs.reason);
    } catch (const NcFailure& failure) {
        nc_close(nc);
        return refuse(QStringLiteral("it is not a Velarion results file, or it is damaged (%1)")
                          .arg(failure.reason));
    }
    nc_close(nc);
    return record;
}

}  // namespace velarion
