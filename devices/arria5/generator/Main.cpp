// arria5_devgen: builds the Arria V device tables from the data files.
//
//   arria5_devgen <data directory> <output directory>
//
// Reads kinds.txt, dimensions.txt, iostandards.txt, dies.txt, scangroups.txt,
// pinouts.txt and reference_rows.txt, lays out the pin-outs and writes the C++
// sources of the tables. Any inconsistency in the data stops it with a message and
// exit status 1. The output depends on the data files only.
#include "Model.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: arria5_devgen <data directory> <output directory>\n";
        return 2;
    }
    try {
        const devgen::InputData data = devgen::ReadInputData(argv[1]);
        const devgen::Database db = devgen::BuildDatabase(data);
        devgen::WriteSources(data, db, argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "arria5_devgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
