// velarion._velarion: the runs, the verification and the results file for
// Python. The package velarion wraps it into xarray Datasets.
#include "model/number_text.h"
#include "model/parameter_boxes.h"
#include "model/run_failure.h"
#include "output/library_versions.h"
#include "results/excel_export.h"
#include "results/form_record.h"
#include "results/results_file.h"
#include "results/stability_verdict.h"
#include "results/verification.h"
#include "runs/double_run.h"
#include "runs/girotondo_run.h"
#include "runs/headless_host.h"
#include "runs/parameter_reader.h"
#include "runs/precision_run.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <memory>
#include <optional>

namespace py = pybind11;
using namespace velarion;

namespace {

// The host of a run called from Python: at each pump point it lets
// Python's signal handlers run (a Ctrl-C raises KeyboardInterrupt there),
// and a KeyboardInterrupt acts as STOP; at each progress step it calls the
// progress callback with the level and the bar's fraction.
class PythonHost : public HeadlessHost {
  public:
    explicit PythonHost(py::object progress)
        : HeadlessHost(QLocale::c()), progress_(std::move(progress)) {}

    void processEvents() override {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            interruption_ = py::error_already_set();
            setStopFlag(true);
        }
    }
    bool stopFlag() const override { return HeadlessHost::stopFlag() || interruption_.has_value(); }
    void setProgressWidth(float twips) override {
        if (progress_.is_none()) {
            return;
        }
        py::gil_scoped_acquire gil;
        progress_(text(ctl::TJ).toStdString(), static_cast<double>(twips) / kFullBarWidth);
    }

    // The exception a pump point caught, raised again once the run is over.
    std::optional<py::error_already_set> interruption_;

  private:
    py::object progress_;
};

QString textOf(const py::handle& value) {
    if (py::isinstance<py::str>(value)) {
        return QString::fromStdString(value.cast<std::string>());
    }
    if (py::isinstance<py::int_>(value)) {
        return QString::fromStdString(py::str(value).cast<std::string>());
    }
    if (py::isinstance<py::float_>(value)) {
        // The shortest text that reads back to the same double.
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.cast<double>()).ptr;
        return QString::fromLatin1(buffer, end - buffer);
    }
    throw py::type_error("a box takes a number or a text, not " +
                         py::str(py::type::of(value)).cast<std::string>());
}

// Sets the boxes, refusing before any run an unknown name or a text the
// run would not read, with the box and the value named.
void applyBoxes(HeadlessHost& host, const py::dict& boxes) {
    const NumberText numbers(QLocale::c());
    for (const auto& [key, value] : boxes) {
        const QString name = QString::fromStdString(py::str(key).cast<std::string>());
        if (host.hasCheckBox(name) && name != QLatin1String("CExl")) {
            if (!py::isinstance<py::bool_>(value) && !py::isinstance<py::int_>(value)) {
                throw py::value_error(
                    QStringLiteral("box %1 is a check box: give it True or "
                                   "False, not %2")
                        .arg(name, QString::fromStdString(py::repr(value).cast<std::string>()))
                        .toStdString());
            }
            host.tick(name.toStdString(), value.cast<bool>());
            continue;
        }
        const bool settable =
            std::any_of(parameterBoxes().begin(), parameterBoxes().end(),
                        [&](const ParameterBox& box) { return controlName(box.name) == name; });
        if (!settable) {
            throw py::value_error(
                QStringLiteral("there is no box or check box named %1").arg(name).toStdString());
        }
        const QString text = textOf(value);
        if (!numbers.toDouble(text)) {
            throw py::value_error(QStringLiteral("box %1: %2 is not a number under the C locale "
                                                 "(decimal point \".\")")
                                      .arg(name, quotedText(text))
                                      .toStdString());
        }
        host.setText(name.toStdString(), text);
    }
}

py::object pythonValue(const std::variant<QString, double, long long>& value) {
    if (const auto* t = std::get_if<QString>(&value)) {
        return py::str(t->toStdString());
    }
    if (const auto* x = std::get_if<double>(&value)) {
        return py::float_(*x);
    }
    return py::int_(std::get<long long>(value));
}

py::dict variableAttributes(const char* name) {
    py::dict attrs;
    for (const ResultsVariable& v : resultsVariables()) {
        if (std::string_view(v.name) == name) {
            attrs["long_name"] = v.longName;
            if (v.units != nullptr) {
                attrs["units"] = v.units;
            }
        }
    }
    return attrs;
}

template <class T>
py::array_t<T> arrayOf(const std::vector<T>& values) {
    return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// The record as the variables of a Dataset: name -> (dimensions, values,
// attributes). The positions are the record's own memory, not a copy.
py::dict variablesOf(const std::shared_ptr<const RunRecord>& record) {
    const RunRecord& r = *record;
    py::dict variables;
    const auto put = [&variables](const char* name, py::tuple dims, py::object values) {
        variables[name] = py::make_tuple(dims, values, variableAttributes(name));
    };
    const int rows = r.lastRow + 1;
    const int segments = r.lastSegment + 1;
    std::vector<int> segment(static_cast<std::size_t>(segments));
    std::vector<long long> level(static_cast<std::size_t>(rows));
    std::vector<double> time(static_cast<std::size_t>(rows));
    for (int s = 0; s < segments; ++s) {
        segment[static_cast<std::size_t>(s)] = s;
    }
    for (int j = 0; j < rows; ++j) {
        level[static_cast<std::size_t>(j)] = r.levelOfRow(j);
        time[static_cast<std::size_t>(j)] = r.secondsOfRow(j);
    }
    put("segment", py::make_tuple("segment"), arrayOf(segment));
    put("level", py::make_tuple("row"), arrayOf(level));
    put("time", py::make_tuple("row"), arrayOf(time));
    if (r.positions && rows > 0) {
        // The record stays alive as long as the array that shows its rows.
        auto* keep = new std::shared_ptr<const RunRecord>(record);
        py::capsule owner(
            keep, [](void* p) { delete static_cast<std::shared_ptr<const RunRecord>*>(p); });
        const Matrix& m = *r.positions;
        const auto rowBytes = static_cast<py::ssize_t>(
            rows > 1 ? (m.row(1) - m.row(0)) * sizeof(double) : segments * sizeof(double));
        py::array_t<double> positions({rows, segments},
                                      {rowBytes, static_cast<py::ssize_t>(sizeof(double))},
                                      m.row(0), owner);
        positions.attr("flags").attr("writeable") = false;
        put("position", py::make_tuple("row", "segment"), positions);
    }
    if (r.positionTexts) {
        py::list texts;
        for (int j = 0; j < rows; ++j) {
            py::list row;
            for (int s = 0; s < segments; ++s) {
                row.append(r.positionTexts->at(j, s).toStdString());
            }
            texts.append(row);
        }
        put("position_text", py::make_tuple("row", "segment"),
            py::module_::import("numpy").attr("array")(texts, "object"));
    }
    const auto kept = r.energy.kept();
    std::vector<long long> energyLevel(kept.size());
    std::vector<double> energyTime(kept.size()), kinetic(kept.size()), strain(kept.size()),
        work(kept.size()), total(kept.size()), dissipated(kept.size()), valveWork(kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k) {
        energyLevel[k] = static_cast<long long>(k) + 1;
        energyTime[k] = static_cast<double>(energyLevel[k]) * r.parameters.DeltaT;
        kinetic[k] = kept[k].kinetic;
        strain[k] = kept[k].strain;
        work[k] = kept[k].work;
        total[k] = kept[k].total();
        dissipated[k] = kept[k].dissipated;
        valveWork[k] = kept[k].valveWork;
    }
    const auto energyDim = py::make_tuple("energy_level");
    put("energy_level", energyDim, arrayOf(energyLevel));
    put("energy_time", energyDim, arrayOf(energyTime));
    put("kinetic_energy", energyDim, arrayOf(kinetic));
    put("strain_energy", energyDim, arrayOf(strain));
    put("work", energyDim, arrayOf(work));
    put("total_energy", energyDim, arrayOf(total));
    if (!r.hammer.isSeeds()) {
        put("dissipated_energy", energyDim, arrayOf(dissipated));
        put("valve_work", energyDim, arrayOf(valveWork));
    }
    if (r.envelope) {
        put("min_displacement", py::make_tuple("segment"), arrayOf(r.envelope->minDisplacement));
        put("max_displacement", py::make_tuple("segment"), arrayOf(r.envelope->maxDisplacement));
        put("min_stress", py::make_tuple("segment"), arrayOf(r.envelope->minStress));
        put("max_stress", py::make_tuple("segment"), arrayOf(r.envelope->maxStress));
    }
    return variables;
}

py::dict attributesOf(const RunRecord& record) {
    py::dict attrs;
    for (const ResultsAttribute& a : resultsAttributes(record)) {
        attrs[py::str(a.name)] = pythonValue(a.value);
    }
    return attrs;
}

QString failureMessage(const HeadlessHost& host) {
    for (auto it = host.messages().rbegin(); it != host.messages().rend(); ++it) {
        if (const QString failure = failureOf(*it); !failure.isEmpty()) {
            return failure;
        }
    }
    return host.status();
}

// Also gives the threads the run took.
template <class Run>
RunOutcome runOn(PythonHost& host, FormState& form, const NumberText& numbers,
                 const QString& logPath, bool envelope, int& threads) {
    Run run(host, form, numbers, logPath);
    if constexpr (requires { run.setEnvelope(true); }) {
        run.setEnvelope(envelope);
    }
    if constexpr (requires { run.setExport([] {}); }) {
        run.setExport(
            [&] { save_file_excel(host, form, numbers, QString::fromLatin1(kExcelFileName)); });
    }
    py::gil_scoped_release released;
    const RunOutcome outcome = run.run();
    threads = run.threads();
    return outcome;
}

// The ends and the friction by their names; the caller has checked them.
void setModel(FormState& form, const py::dict& model) {
    form.freeEnd = freeEndNamed(QString::fromStdString(model["last_end"].cast<std::string>()))
                       .value_or(FreeEnd::Seed);
    form.hammer.firstEnd =
        firstEndNamed(QString::fromStdString(model["first_end"].cast<std::string>()))
            .value_or(FirstEnd::CounterPressure);
    form.hammer.closingTime = model["closing_time"].cast<double>();
    form.hammer.friction = model["friction"].cast<double>();
}

py::dict runModel(const std::string& kind, const py::dict& model, std::optional<int> threads,
                  const py::dict& boxes, std::optional<std::string> logFile,
                  std::optional<std::string> results, bool envelope, py::object progress,
                  const std::string& call) {
    PythonHost host(std::move(progress));
    host.tick(ctl::CLogFile, logFile.has_value());
    applyBoxes(host, boxes);
    host.acceptQuestion(QString::fromLatin1(kExcelQuestion));
    FormState form;
    setModel(form, model);
    form.threads = threads.value_or(0);
    const NumberText numbers(QLocale::c());
    const QString logPath = QString::fromStdString(logFile.value_or("LogFile.txt"));
    const auto started = typedBoxes(host);
    RunOutcome outcome = RunOutcome::Failed;
    std::optional<RunRecord> record;
    int took = 1;
    if (kind == "double") {
        outcome = runOn<DoubleRun>(host, form, numbers, logPath, envelope, took);
        record = recordTakingPsi(form);
    } else if (kind == "girotondo") {
        outcome = runOn<GirotondoRun>(host, form, numbers, logPath, envelope, took);
        record = recordTakingPsi(form);
    } else {
        PrecisionRun run(host, form, numbers, logPath);
        {
            py::gil_scoped_release released;
            outcome = run.run();
        }
        took = run.threads();
        record = recordOfDecimalRun(form, host, numbers);
    }
    if (host.interruption_) {
        throw *host.interruption_;
    }
    py::dict result;
    result["outcome"] = outcome == RunOutcome::Completed ? "completed"
                        : outcome == RunOutcome::Stopped ? "stopped"
                                                         : "failed";
    result["message"] = failureMessage(host).toStdString();
    if (!record) {
        return result;
    }
    record->outcome = outcome;
    if (outcome == RunOutcome::Failed) {
        record->message = failureMessage(host);
    }
    record->boxes = started;
    record->provenance =
        provenanceNow(QStringLiteral("velarion-python"), took, QString::fromStdString(call));
    const auto shared = std::make_shared<const RunRecord>(std::move(*record));
    if (shared->run != RunKind::Precision) {
        if (const auto verdict = judgeStability(shared->parameters, shared->freeEnd,
                                                shared->lastSegment, shared->energy)) {
            result["instability"] = QStringLiteral("unstable from level %1: %2")
                                        .arg(verdict->level)
                                        .arg(instabilityReason(*verdict, numbers))
                                        .toStdString();
        }
    }
    if (results) {
        QString error;
        if (!writeResultsFile(*shared, QString::fromStdString(*results), error)) {
            throw py::value_error(error.toStdString());
        }
    }
    result["attrs"] = attributesOf(*shared);
    result["variables"] = variablesOf(shared);
    return result;
}

py::dict defaults() {
    const HeadlessHost host(QLocale::c());
    py::dict texts;
    for (const QString& name : HeadlessHost::parameterBoxNames()) {
        texts[py::str(name.toStdString())] = host.text(name.toStdString()).toStdString();
    }
    texts["CLogFile"] = host.isTicked(ctl::CLogFile);
    texts["CLogFileExc"] = host.isTicked(ctl::CLogFileExc);
    return texts;
}

py::dict indexRow(const ConvergenceIndex& index) {
    py::dict row;
    row["values"] = std::vector<double>(std::begin(index.values), std::end(index.values));
    row["why"] = index.why.toStdString();
    row["order"] = index.order;
    row["extrapolated"] = index.extrapolated;
    row["gci"] = index.gci;
    row["exact"] = index.exact ? py::object(py::float_(*index.exact)) : py::none();
    return row;
}

py::dict verify(const py::dict& model, const py::dict& boxes) {
    HeadlessHost host(QLocale::c());
    applyBoxes(host, boxes);
    const NumberText numbers(QLocale::c());
    FormState form;
    setModel(form, model);
    Parameters p;
    try {
        const ParameterReader reader(host, numbers);
        reader.readIndexBounds(form);
        reader.readPhysical(p, false);
        reader.refuseImpossibleHammer(p, form.hammer);
    } catch (const RunFailure& failure) {
        throw py::value_error(failure.message().toStdString());
    }
    Verification v;
    {
        py::gil_scoped_release released;
        v = verifyColumn(p, form.IndiceMatrice2, p.nitertemp, form.freeEnd, form.hammer);
    }
    if (!v.refusal.isEmpty()) {
        throw py::value_error(("nothing verified: " + v.refusal).toStdString());
    }
    py::dict out;
    py::list grids;
    for (const VerificationGrid& g : v.grids) {
        py::dict grid;
        grid["segments"] = g.segments;
        grid["DeltaT"] = g.DeltaT;
        grid["levels"] = g.levels;
        grid["compared_levels"] = g.comparedLevels;
        grid["largest_error"] = g.largestError;
        grid["rms_error"] = g.rmsError;
        grid["peak_stress"] = g.peakStress;
        grid["peak_displacement"] = g.peakDisplacement;
        grids.append(grid);
    }
    out["grids"] = grids;
    out["exact_refusal"] = v.exactRefusal.toStdString();
    out["exact_note"] = v.exactNote.toStdString();
    out["ratio"] = v.ratio;
    out["largest_order"] = v.largestOrder;
    out["rms_order"] = v.rmsOrder;
    out["stress"] = indexRow(v.stress);
    out["displacement"] = indexRow(v.displacement);
    return out;
}

// Refuses, with its reason, a file that is not a results file.
void checkResultsFile(const std::string& path) {
    QString error;
    if (!readResultsFile(QString::fromStdString(path), error)) {
        throw py::value_error(error.toStdString());
    }
}

}  // namespace

PYBIND11_MODULE(_velarion, m) {
    m.doc() = "The runs, the verification and the results file of Velarion.";
    m.def("run", &runModel, py::arg("kind"), py::arg("model"), py::arg("threads"), py::arg("boxes"),
          py::arg("log_file"), py::arg("results"), py::arg("envelope"), py::arg("progress"),
          py::arg("call"));
    m.def("defaults", &defaults);
    m.def("verify", &verify, py::arg("model"), py::arg("boxes"));
    m.def("check_results_file", &checkResultsFile, py::arg("path"));
    m.attr("__version__") = velarionVersion().toStdString();
}
