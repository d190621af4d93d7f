// The test kit's cabinet fixtures: small cabinets and sets, each with the outcome its extraction must have.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "tests/kit/cab_writer.h"

using KitFiles = std::map<std::string, std::string>;

struct KitFixture {
    std::string name;  // also the stem of the fixture's file names
    std::string why;
    std::map<std::string, std::string> cabinets;  // file name -> bytes
    std::string first;                            // the cabinet extracted
    int32_t error;                                // expected code; 0: the extraction succeeds
    KitFiles files;                               // files finished by extracting `first`
    KitFiles set_files;                           // every file of the set (cabinets extracted in turn)
};

std::vector<KitFixture> KitFixtures();

// The set of three cabinets "<stem>1.cab" to "<stem>3.cab": one MSZIP folder runs through all
// three with a block split at each change of cabinet; the third has a stored folder of its own.
// Files: A in the first cabinet, X and Y continue into the second, C runs from the second into the
// third, D lies in the third's part of the folder, E in its stored folder.
struct KitSet {
    std::map<std::string, std::string> cabinets;
    KitFiles contents;  // every file of the set
};
// A reserve size of 0xFFFF leaves the cabinet without reserve fields.
KitSet KitSpanningSet(const std::string& stem,
                      uint8_t second_data_reserve = 0,
                      uint16_t first_header_reserve = 0xFFFF,
                      uint16_t second_header_reserve = 0xFFFF);

// Writes every fixture's cabinets into folder (which must exist) as "<cabinet name>".
bool KitWriteFixtures(const std::string& folder);
