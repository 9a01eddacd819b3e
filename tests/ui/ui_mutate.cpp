// Runs the mutation harness of the UI tests for longer:
//   ui_mutate.exe [iterations] [seed]
// Reads the test archives from bin/ui_data. A crash stops it with the last
// progress line naming the batch that holds the culprit.
#include <cstdio>
#include <cstdlib>

#include "mutation.h"
#include "ui_data.h"

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::atoi(argv[1]) : 100000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1;
  const auto corpus = kwtest::DefaultCorpus({kwtest::UiData(L"zip-skin.zip"), kwtest::UiData(L"python-skin.zip"),
                                             kwtest::UiData(L"corrupt.zip")});
  if (corpus.archives[0].empty()) {
    std::fprintf(stderr, "ui_data archives missing next to the program\n");
    return 2;
  }
  constexpr int kBatch = 1000;
  int faults = 0;
  long parsed = 0, opened = 0, read = 0;
  for (int done = 0; done < iterations; done += kBatch) {
    const int count = iterations - done < kBatch ? iterations - done : kBatch;
    std::printf("seed %u batch %d (%d iterations)\n", seed + done, done / kBatch, count);
    std::fflush(stdout);
    const kwtest::MutationReport report = kwtest::RunMutations(corpus, seed + done, count);
    for (const std::string& fault : report.faults) std::printf("  %s\n", fault.c_str());
    faults += static_cast<int>(report.faults.size());
    parsed += report.markupParsed;
    opened += report.archivesOpened;
    read += report.entriesRead;
  }
  std::printf("%d iterations: %ld documents parsed, %ld archives opened, %ld entries read, %d faults\n",
              iterations, parsed, opened, read, faults);
  return faults ? 1 : 0;
}
