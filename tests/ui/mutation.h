// Mutation runs over the skin parser and the archive reader: documents and
// archives derived from a small seed corpus by random edits (fixed seed, so
// every run is the same) are fed in from buffers that end at, or start right
// after, an inaccessible page, so a read or write outside them faults.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kwtest {

struct MutationReport {
  int markupRuns = 0;
  int markupParsed = 0;
  int archiveRuns = 0;
  int archivesOpened = 0;
  int entriesRead = 0;
  std::vector<std::string> faults;  // broken invariants, with the iteration
};

struct MutationCorpus {
  std::vector<std::string> markup;
  std::vector<std::string> archives;
};

// The built-in markup seeds plus the given archives.
MutationCorpus DefaultCorpus(std::vector<std::string> archives);

MutationReport RunMutations(const MutationCorpus& corpus, std::uint32_t seed, int iterations);

}  // namespace kwtest
