#include "engine/note_events.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>

#include "engine/sequencer.hpp"
#include "testing/fixtures.hpp"
#include "testing/stream_notes.hpp"

namespace zorvik {

static std::ostream& operator<<(std::ostream& out, const NoteEvent& n) {
  return out << "{" << n.start << "-" << n.end << " channel " << n.channel << " row " << n.pitch
             << " sample " << n.sample << "}";
}

namespace {

using fixtures::StreamNote;

// The notes as the stream shows them: channel by channel.
std::vector<StreamNote> seen(const std::vector<NoteEvent>& notes) {
  std::vector<StreamNote> out;
  out.reserve(notes.size());
  for (const NoteEvent& n : notes) out.push_back({n.start, n.end, n.channel, n.sample});
  std::stable_sort(out.begin(), out.end(),
                   [](const StreamNote& a, const StreamNote& b) { return a.channel < b.channel; });
  return out;
}

// Checks the notes against the stream and the song's cells.
void expectTheStreamsNotes(const Song& song, const fixtures::SampleSet& marked, std::size_t n,
                           const std::vector<NoteEvent>& notes) {
  EXPECT_EQ(seen(notes), fixtures::streamNotes(song, marked, n));
  const std::uint64_t perStep = static_cast<std::uint64_t>(stepLength(song.tempo));
  for (const NoteEvent& note : notes) {
    ASSERT_EQ(note.start % perStep, 0u) << note;
    const SongCell& cell = song.cells[note.start / perStep % kSteps][note.channel];
    EXPECT_EQ(note.pitch, cell.pitch) << note;
    EXPECT_EQ(note.sample, remapInstrument(cell.instrument, cell.pitch)) << note;
  }
  EXPECT_TRUE(std::is_sorted(notes.begin(), notes.end(), [](const auto& a, const auto& b) {
    return a.start < b.start || (a.start == b.start && a.channel < b.channel);
  }));
}

TEST(SongNotes, AreTheNotesTheStreamPlaysOverSeveralLoops) {
  std::mt19937 rng(29);
  for (int round = 0; round < 8; ++round) {
    Song song = fixtures::randomSong(rng);
    song.tempo = static_cast<std::uint8_t>(std::array{255, 250, 231, 200}[round % 4]);
    if (round % 2 == 1) {
      // Few note steps: notes run long, and on over a loop's end.
      for (auto& step : song.cells) {
        if (rng() % 8 != 0) step.fill(kNoNote);
      }
    }
    std::array<std::size_t, kBankSamples> lengths;
    for (auto& length : lengths) length = rng() % 6 == 0 ? rng() % 2 : rng() % 12000;
    const fixtures::SampleSet marked = fixtures::markedSamples(lengths);
    const std::size_t loop = kSteps * static_cast<std::size_t>(stepLength(song.tempo));
    // Into a fourth loop, ending inside a step.
    const std::size_t n = 3 * loop + loop / 3 + 7;
    SCOPED_TRACE("round " + std::to_string(round));
    expectTheStreamsNotes(song, marked, n, songNotes(song, fixtures::makeBank(marked), n));
  }
}

TEST(SongNotes, EdgeCases) {
  const std::uint64_t fast = static_cast<std::uint64_t>(stepLength(255));  // 2353
  const std::uint64_t slow = static_cast<std::uint64_t>(stepLength(0));    // 600010
  struct Case {
    const char* name;
    std::uint8_t tempo;
    std::function<void(Song&)> cells;
    std::array<std::size_t, kBankSamples> lengths;
    std::uint64_t length;
    std::vector<NoteEvent> expected;
  } cases[] = {
      {"a note is cut by the next step that holds a note, on any channel",
       255,
       [](Song& s) {
         s.cells[0][0] = {1, 0};
         s.cells[2][1] = {1, 0};
       },
       {10000},
       96 * fast,
       {{0, 2 * fast, 0, 1, 0}, {2 * fast, 2 * fast + 10000, 1, 1, 0}}},
      {"a note ends with its sample, sooner at a higher row",
       255,
       [](Song& s) {
         s.cells[0] = {SongCell{1, 1}, SongCell{8, 2}, SongCell{5, 3}};
       },
       {0, 1000, 1000, 1000},
       96 * fast,
       {{0, 1000, 0, 1, 1}, {0, 500, 1, 8, 2}, {0, 708, 2, 5, 3}}},
      {"rows 0, 14 and 15 play, as the roll cannot show them",
       255,
       [](Song& s) {
         s.cells[3] = {SongCell{0, 1}, SongCell{14, 2}, SongCell{15, 3}};
       },
       {0, 1000, 1000, 1000},
       96 * fast,
       {{3 * fast, 3 * fast + 1060, 0, 0, 1},
        {3 * fast, 3 * fast + 281, 1, 14, 2},
        {3 * fast, 3 * fast + 250, 2, 15, 3}}},
      {"instrument 12 plays sample 13 from row 7, and 13 plays 14",
       255,
       [](Song& s) {
         s.cells[0] = {SongCell{7, 12}, SongCell{6, 12}, SongCell{1, 13}};
       },
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 100, 100},
       96 * fast,
       {{0, 57, 0, 7, 13}, {0, 63, 1, 6, 12}, {0, 100, 2, 1, 14}}},
      {"an unplayable note cuts and stays silent; (255, 222) is no note",
       255,
       [](Song& s) {
         s.cells[0][0] = {1, 0};
         s.cells[1][1] = {255, 222};
         s.cells[2][2] = {16, 0};
         s.cells[3][1] = {1, 15};
         s.cells[4][0] = {1, 0};
       },
       {100000},
       5 * fast + 10,
       {{0, 2 * fast, 0, 1, 0}, {4 * fast, 5 * fast + 10, 0, 1, 0}}},
      {"a sample with no values plays nothing, but its step still cuts",
       255,
       [](Song& s) {
         s.cells[0][0] = {1, 0};
         s.cells[1][1] = {1, 4};
       },
       {10000},
       96 * fast,
       {{0, fast, 0, 1, 0}}},
      {"an empty song plays no note", 255, [](Song&) {}, {100, 100}, 2 * 96 * fast, {}},
      {"a note at a loop's end sounds on into the next; the last is cut by the end",
       255,
       [](Song& s) {
         s.cells[95][2] = {1, 0};
       },
       {10000},
       3 * 96 * fast,
       {{95 * fast, 95 * fast + 10000, 2, 1, 0},
        {191 * fast, 191 * fast + 10000, 2, 1, 0},
        {287 * fast, 288 * fast, 2, 1, 0}}},
      {"a note longer than a loop is cut by its own step a loop later",
       255,
       [](Song& s) {
         s.cells[10][0] = {1, 0};
       },
       {300000},
       4 * 96 * fast,
       {{10 * fast, 106 * fast, 0, 1, 0},
        {106 * fast, 202 * fast, 0, 1, 0},
        {202 * fast, 298 * fast, 0, 1, 0},
        {298 * fast, 384 * fast, 0, 1, 0}}},
      {"tempo 0: steps of 600010 samples",
       0,
       [](Song& s) {
         s.cells[0][0] = {1, 0};
         s.cells[95][1] = {1, 1};
       },
       {1000, 2000},
       96 * slow,
       {{0, 1000, 0, 1, 0}, {95 * slow, 95 * slow + 2000, 1, 1, 1}}},
      {"tempo 255: steps of 2353 samples",
       255,
       [](Song& s) {
         s.cells[1][2] = {1, 2};
         s.cells[2][0] = {1, 2};
       },
       {0, 0, 5000},
       96 * fast,
       {{fast, 2 * fast, 2, 1, 2}, {2 * fast, 2 * fast + 5000, 0, 1, 2}}},
      {"no samples, no notes",
       255,
       [](Song& s) {
         s.cells[0][0] = {1, 0};
       },
       {100},
       0,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Song song = fixtures::emptySong(c.tempo);
    c.cells(song);
    const fixtures::SampleSet marked = fixtures::markedSamples(c.lengths);
    const std::vector<NoteEvent> notes = songNotes(song, fixtures::makeBank(marked), c.length);
    EXPECT_EQ(notes, c.expected);
    // The slowest tempo's stream is too long to play here, sample by sample.
    if (c.tempo != 0) expectTheStreamsNotes(song, marked, c.length, notes);
  }
}

}  // namespace
}  // namespace zorvik
