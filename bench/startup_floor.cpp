// The start-up yardstick of compare_numpy.sh: a program that links what a
// velarion-batch run needs, QtCore and libgsf, makes its application object
// as velarion-batch does and prints one line.
#include <QCoreApplication>

#include <gsf/gsf-utils.h>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("Qt %s, libgsf %d.%d.%d\n", qVersion(), libgsf_major_version, libgsf_minor_version,
                libgsf_micro_version);
    return 0;
}
