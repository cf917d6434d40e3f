#include "plot_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace velarion {

namespace {

PlotModule loaded;
bool isLoaded = false;

}  // namespace

const PlotModule* loadPlotModule(std::string& error) {
    if (isLoaded) {
        return &loaded;
    }
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::path program = fs::read_symlink("/proc/self/exe", failed);
    if (failed) {
        error = "cannot find the program's folder: " + failed.message();
        return nullptr;
    }
    const fs::path beside = program.parent_path() / kPlotModuleFile;
    const fs::path installed =
        (program.parent_path() / VELARION_PLOT_DIR / kPlotModuleFile).lexically_normal();
    for (const fs::path& path : {beside, installed}) {
        if (!fs::exists(path, failed)) {
            continue;
        }
        // Never closed: the application object it makes lives to the end.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            error = std::string("cannot load the chart module: ") + ::dlerror();
            return nullptr;
        }
        loaded.makeApplication =
            reinterpret_cast<PlotMakeApplication>(::dlsym(handle, kPlotMakeApplication));
        loaded.write = reinterpret_cast<PlotWrite>(::dlsym(handle, kPlotWrite));
        loaded.threadsStuck =
            reinterpret_cast<PlotThreadsStuck>(::dlsym(handle, kPlotThreadsStuck));
        if (loaded.makeApplication == nullptr || loaded.write == nullptr ||
            loaded.threadsStuck == nullptr) {
            error = "the chart module " + path.string() + " lacks its entry points";
            return nullptr;
        }
        isLoaded = true;
        return &loaded;
    }
    error = "the chart module " + std::string(kPlotModuleFile) + " is in neither " +
            beside.parent_path().string() + " nor " + installed.parent_path().string();
    return nullptr;
}

const PlotModule* loadedPlotModule() {
    return isLoaded ? &loaded : nullptr;
}

}  // namespace velarion
