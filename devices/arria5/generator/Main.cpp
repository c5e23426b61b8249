// arria5_devgen: builds the Arria V device tables from the data files.
//
//   arria5_devgen <data directory> <output directory> [<BSDL directory>]
//
// Reads kinds.txt, dimensions.txt, iostandards.txt, dies.txt, scangroups.txt,
// pinouts.txt, reference_rows.txt and boundaryscan.txt, lays out the pin-outs and
// their boundary registers and writes the C++ sources of the tables, and, when a
// BSDL directory is given, one BSDL file per pin set there. Any inconsistency in the data stops it with a message and
// exit status 1. The output depends on the data files only.
#include "Model.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: arria5_devgen <data directory> <output directory> [<BSDL directory>]\n";
        return 2;
    }
    try {
        const devgen::InputData data = devgen::ReadInputData(argv[1]);
        devgen::Database db = devgen::BuildDatabase(data);
        devgen::LayOutBoundaryScan(data, db);
        devgen::WriteSources(data, db, argv[2]);
        if (argc == 4)
            devgen::WriteBSDLFiles(data, db, argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "arria5_devgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
