// zorvik with its standard streams closed, as `2>&-` leaves them: no file it
// opens may take a stream's place, or what is said there lands in the file.

#include <gtest/gtest.h>

#include "testing/fixtures.hpp"
#include "testing/run.hpp"
#include "tools/tool_test.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
using tool_test::kZorvik;

TEST(StandardStreams, ClosedOnesNeverReceiveAnOutputFile) {
  fixtures::TempDir dir;
  Song song = fixtures::emptySong(250, "Loud");
  for (int step = 0; step < kSteps; ++step)
    song.cells[step] = {SongCell{1, 1}, SongCell{1, 2}, SongCell{1, 3}};
  fixtures::writeFile(dir / "song.zvo", fixtures::songFile(song));
  fixtures::SampleSet samples;
  for (auto& s : samples) s.assign(20000, 30000);
  fixtures::writeFile(dir / "loud.zvi", fixtures::bankFile(samples));
  const std::string cd = "cd " + shellQuote(dir.path().string()) + " && ";
  // The limiter's warning is said on standard error: closed, it goes nowhere.
  auto reference = run(cd + shellQuote(kZorvik) +
                       " render song.zvo ref.wav --bank loud.zvi --gain 12 2>/dev/null");
  ASSERT_EQ(reference.status, 0);
  struct Case {
    const char* closing;
  } cases[] = {{"2>&-"}, {">&- 2>&-"}, {"<&- 2>&-"}};
  for (const Case& c : cases) {
    auto r = run(cd + shellQuote(kZorvik) + " render song.zvo out.wav --bank loud.zvi --gain 12 " +
                 c.closing + "; echo status $?");
    EXPECT_EQ(r.out.substr(r.out.find("status")), "status 0\n") << c.closing;
    EXPECT_EQ(fixtures::readFile(dir / "out.wav"), fixtures::readFile(dir / "ref.wav"))
        << c.closing;
  }
}

}  // namespace
}  // namespace zorvik
