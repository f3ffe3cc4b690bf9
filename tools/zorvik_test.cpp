// The zorvik tool as users run it: render, song and info.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <sstream>

#include "engine/sequencer.hpp"
#include "engine/song_midi.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"
#include "testing/midi_reader.hpp"
#include "testing/run.hpp"
#include "testing/stream_notes.hpp"
#include "tools/tool_test.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
namespace fs = std::filesystem;

using tool_test::readAudio;
using tool_test::zorvik;

// A song with notes on all channels and a bank file for it, in a folder.
struct RenderFixture {
  fixtures::TempDir dir;
  Song song = fixtures::emptySong(200, "Render", "Tester", "mine.zvi");
  fixtures::SampleSet samples;
  std::string songPath = (dir / "song.zvo").string();
  std::string bankPath = (dir / "mine.zvi").string();

  RenderFixture() {
    std::mt19937 rng(5);
    for (auto& s : samples) {
      s.resize(2000 + rng() % 3000);
      for (auto& v : s) v = static_cast<std::int16_t>(rng());
    }
    for (int step = 0; step < kSteps; step += 3) {
      song.cells[step] = {
          SongCell{static_cast<std::uint8_t>(step % 16), static_cast<std::uint8_t>(step % 15)},
          SongCell{1, 12}, step % 2 ? kNoNote : SongCell{9, 12}};
    }
    fixtures::writeFile(songPath, fixtures::songFile(song));
    fixtures::writeFile(bankPath, fixtures::bankFile(samples));
  }

  std::vector<std::int16_t> stream(std::size_t n) const {
    return fixtures::streamOf(song, samples, n);
  }
};

TEST(Render, WritesTheExactStream) {
  RenderFixture f;
  const int loop = 96 * stepLength(f.song.tempo);
  struct Case {
    std::string options;
    const char* file;
    int format;
    std::size_t samples;
  } cases[] = {
      {"--samples 12345", "a.wav", SF_FORMAT_WAV, 12345},
      {"", "b.flac", SF_FORMAT_FLAC, static_cast<std::size_t>(loop)},
      {"--loops 2", "c.aiff", SF_FORMAT_AIFF, static_cast<std::size_t>(2 * loop)},
      {"--seconds 0.5", "d.WAV", SF_FORMAT_WAV, 16002},
      {"--samples 1", "e.wav", SF_FORMAT_WAV, 1},
  };
  auto expected = f.stream(2 * static_cast<std::size_t>(loop));
  for (const auto& c : cases) {
    auto out = f.dir / c.file;
    auto r = run(zorvik("render " + shellQuote(f.songPath) + " " + shellQuote(out.string()) +
                        " --bank " + shellQuote(f.bankPath) + " " + c.options));
    ASSERT_EQ(r.status, 0) << c.options << r.err;
    tool_test::Audio audio = readAudio(out);
    EXPECT_EQ(audio.info.format & SF_FORMAT_TYPEMASK, c.format) << c.file;
    EXPECT_EQ(audio.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16) << c.file;
    EXPECT_EQ(audio.info.samplerate, 32004);
    EXPECT_EQ(audio.info.channels, 1);
    ASSERT_EQ(audio.values.size(), c.samples) << c.file;
    auto samples = audio.samples();
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), expected.begin())) << c.file;
  }
}

TEST(Render, LengthsAreRoundedToTheNearestSample) {
  RenderFixture f;
  const std::pair<const char*, std::size_t> cases[] = {
      {"--seconds 0.00003", 1},   // 0.96 samples
      {"--seconds 0.000046", 1},  // 1.47
      {"--seconds 0.000047", 2},  // 1.504
      {"--seconds 1", 32004},     // exactly
      {"--seconds=2.5", 80010},   // --opt=value
  };
  for (const auto& [options, samples] : cases) {
    auto out = f.dir / "out.wav";
    auto r = run(zorvik("render " + shellQuote(f.songPath) + " " + shellQuote(out.string()) +
                        " --bank " + shellQuote(f.bankPath) + " " + options));
    ASSERT_EQ(r.status, 0) << options << r.err;
    EXPECT_EQ(readAudio(out).values.size(), samples) << options;
  }
}

TEST(Render, ToStandardOutputAndWithTheSongsOwnBank) {
  RenderFixture f;
  // A copy of the tool with the song's bank in instruments/ beside it.
  fs::create_directories(f.dir / "bin" / "instruments");
  fs::copy_file(tool_test::kZorvik, f.dir / "bin" / "zorvik");
  fs::copy_file(f.bankPath, f.dir / "bin" / "instruments" / "mine.zvi");
  auto out = f.dir / "piped.wav";
  auto r = run(shellQuote((f.dir / "bin" / "zorvik").string()) + " render " +
               shellQuote(f.songPath) + " - --samples 5000 | cat > " + shellQuote(out.string()));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readAudio(out).samples(), f.stream(5000));
}

TEST(Render, MidiFilesHoldTheStreamsNotes) {
  RenderFixture f;
  std::array<std::size_t, kBankSamples> lengths;
  for (int s = 0; s < kBankSamples; ++s) lengths[s] = f.samples[s].size() + 1000 * (s % 3);
  const fixtures::SampleSet marked = fixtures::markedSamples(lengths);
  fixtures::writeFile(f.bankPath, fixtures::bankFile(marked));
  const std::size_t loop = kSteps * static_cast<std::size_t>(stepLength(f.song.tempo));
  const std::pair<const char*, std::size_t> cases[] = {
      {"a.mid", loop},
      {"b.MIDI --loops 2", 2 * loop},
      {"c.mid --samples 10000", 10000},
      {"d.mid --seconds=1", 32004},
  };
  for (const auto& [args, length] : cases) {
    const auto r = run("cd " + shellQuote(f.dir.path().string()) + " && " +
                       zorvik("render song.zvo " + std::string(args)));
    ASSERT_EQ(r.status, 0) << args << r.err;
    EXPECT_EQ(r.err, "");
    const fs::path out = f.dir / std::string(args).substr(0, std::string(args).find(' '));
    const fixtures::MidiFileRead file = fixtures::readMidiFile(fixtures::readFile(out));
    ASSERT_EQ(file.tracks.size(), 4u) << args;
    EXPECT_EQ(fixtures::midiTempos(file.tracks[0]),
              (std::vector<std::pair<std::uint64_t, std::uint32_t>>{{0, kMidiTempo}}));
    EXPECT_EQ(fixtures::midiTrackName(file.tracks[0]), "Render");
    for (const auto& track : file.tracks) EXPECT_EQ(track.back().tick, length) << args;
    std::vector<fixtures::StreamNote> heard;
    for (const fixtures::MidiNoteRead& note : fixtures::midiNotes(file)) {
      const std::size_t step = note.start / static_cast<std::size_t>(stepLength(f.song.tempo));
      EXPECT_EQ(note.key, midiKey(f.song.cells[step % kSteps][note.channel].pitch));
      heard.push_back({note.start, note.end, note.channel, note.program});
    }
    EXPECT_EQ(heard, fixtures::streamNotes(f.song, marked, length)) << args;
  }
}

TEST(Render, FailuresLeaveNoFileAndSayWhy) {
  RenderFixture f;
  fixtures::writeFile(f.dir / "junk.zvo", std::vector<std::uint8_t>{'j'});
  const std::string song = shellQuote(f.songPath);
  const std::string bank = " --bank " + shellQuote(f.bankPath);
  struct Case {
    std::string args;
    int status;
    std::string err;  // the start of standard error
  } cases[] = {
      {"render", 2, "zorvik render: expected SONG OUT"},
      {"render " + song + " out.xyz" + bank, 2,
       "zorvik render: cannot tell the format of 'out.xyz'"},
      {"render " + song + " out.wav --samples -1" + bank, 2,
       "zorvik render: --samples takes a whole number"},
      // Lengths that would write a file with no sound.
      {"render " + song + " out.wav --samples 0" + bank, 2,
       "zorvik render: --samples takes a whole number from 1 to"},
      {"render " + song + " out.wav --loops 0" + bank, 2,
       "zorvik render: --loops takes a whole number from 1 to"},
      {"render " + song + " out.wav --seconds 0" + bank, 2,
       "zorvik render: --seconds 0 is shorter than half a sample"},
      {"render " + song + " out.wav --seconds 0.0000156" + bank, 2,  // 0.499 samples
       "zorvik render: --seconds 0.0000156 is shorter than half a sample"},
      {"render " + song + " - --seconds=0" + bank, 2, "zorvik render: --seconds 0 is shorter"},
      {"render " + song + " out.wav --samples 5 --loops 1" + bank, 2,
       "zorvik render: give at most one of"},
      {"render " + song + " out.wav --speed 2" + bank, 2,
       "zorvik render: unknown option '--speed'"},
      {"render " + song + " out.wav --bank", 2, "zorvik render: --bank needs a value"},
      {"render missing.zvo out.wav" + bank, 1,
       "zorvik: cannot read missing.zvo: No such file or directory\n"},
      {"render junk.zvo out.wav" + bank, 1, "zorvik: junk.zvo: not a valid .zvo file\n"},
      {"render " + song + " out.wav --bank nothing.zvi", 1,
       "zorvik: cannot read nothing.zvi: No such file or directory\n"},
      {"render " + song + " no/such/dir/out.wav" + bank, 1,
       "zorvik: cannot write no/such/dir/out.wav"},
      {"render " + song + " out.mid --rate 44100" + bank, 2,
       "zorvik render: --rate does not apply to a MIDI file: leave it out"},
      {"render " + song + " out.midi --gain=3" + bank, 2,
       "zorvik render: --gain does not apply to a MIDI file: leave it out"},
      {"render " + song + " out.mid --samples 5 --loops 1" + bank, 2,
       "zorvik render: give at most one of"},
      {"render " + song + " out.mid --loops 1000" + bank, 1,
       "zorvik: that is 2:29:43 long, and a MIDI file holds at most 2:19:47: render fewer loops\n"},
      {"render junk.zvo out.mid" + bank, 1, "zorvik: junk.zvo: not a valid .zvo file\n"},
      {"render - out.wav --bank - < song.zvo", 2,
       "zorvik render: the song and the bank cannot both be read from standard input"},
      {"frobnicate", 2, "zorvik: unknown command 'frobnicate'"},
  };
  for (const auto& c : cases) {
    auto r = run("cd " + shellQuote(f.dir.path().string()) + " && " + zorvik(c.args));
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << c.args << "\n" << r.err;
  }
  // One pipe cannot be both the song and the bank, by any of its names.
  auto r = run("cat " + shellQuote(f.songPath) + " | " +
               zorvik("render /dev/stdin out.wav --bank=- --samples 1"));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(
      r.err.rfind("zorvik render: the song and the bank cannot both be read from /dev/stdin", 0),
      0u)
      << r.err;
  for (const auto& entry : fs::directory_iterator(f.dir.path())) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "song.zvo" || name == "mine.zvi" || name == "junk.zvo")
        << "left behind: " << name;
  }
}

TEST(Tool, EveryCommandHasHelpThatFitsATerminal) {
  for (const char* command :
       {"--help", "play --help", "render --help", "info --help", "song --help",
        "song decompile --help", "song compile -h", "bank --help", "bank build --help",
        "bank list --help", "bank extract --help"}) {
    auto r = run(zorvik(command));
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind("Usage: zorvik", 0), 0u) << command;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 80u) << command << ": " << line;
    }
  }
  for (const char* command : {"--version", "render --version", "bank list --version"}) {
    EXPECT_EQ(run(zorvik(command)).out, "zorvik 1.1.0\n") << command;
  }
}

TEST(SongCommand, DecompileThenCompileGivesTheSameFile) {
  RenderFixture f;
  auto text = f.dir / "song.txt";
  auto back = f.dir / "back.zvo";
  auto r =
      run(zorvik("song decompile " + shellQuote(f.songPath) + " > " + shellQuote(text.string())));
  ASSERT_EQ(r.status, 0) << r.err;
  r = run(zorvik("song compile " + shellQuote(text.string()) + " " + shellQuote(back.string())));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fixtures::readFile(back), fixtures::readFile(f.songPath));
  // Standard input and output too.
  r = run(zorvik("song compile - -"), decompileSong(f.song));
  EXPECT_EQ(r.status, 0);
  auto bytes = fixtures::readFile(f.songPath);
  EXPECT_EQ(r.out, std::string(bytes.begin(), bytes.end()));
}

TEST(SongCommand, CompileErrorNamesTheLineAndWritesNothing) {
  fixtures::TempDir dir;
  fixtures::writeFile(dir / "bad.txt",
                      std::vector<std::uint8_t>{'t', 'e', 'm', 'p', 'o', ' ', '9', '9', '9', '\n'});
  auto out = dir / "out.zvo";
  auto r = run(zorvik("song compile " + shellQuote((dir / "bad.txt").string()) + " " +
                      shellQuote(out.string())));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("bad.txt: line 1, column 7: expected a tempo from 0 to 255"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// The tempos the help gives as beats a minute are the player's: four steps
// a beat.
TEST(SongCommand, TheHelpGivesTheTempoInBeatsAMinute) {
  auto r = run(zorvik("song compile --help"));
  std::string help;
  for (char c : r.out) {
    if (c != '\n' && (c != ' ' || help.empty() || help.back() != ' ')) help += c;
  }
  for (int tempo : {50, 100, 127, 150, 200, 255}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%d is %.1f", tempo,
                  60.0 * 32004 / (4.0 * stepLength(static_cast<std::uint8_t>(tempo))));
    EXPECT_NE(help.find(expected), std::string::npos) << expected << "\n" << help;
  }
}

TEST(InfoCommand, DescribesTheSongAndWarnsAboutUnplayableNotes) {
  fixtures::TempDir dir;
  Song song = fixtures::emptySong(100, "Example", "Anon", "drums.zvi");
  song.cells[0] = {SongCell{12, 0}, SongCell{1, 12}, SongCell{8, 12}};
  song.cells[4] = {SongCell{3, 15}, SongCell{16, 1}, SongCell{0, 2}};
  song.cells[5] = {SongCell{255, 222}, kNoNote, kNoNote};
  // The roll shows rows 1 to 13: 1 and 13 give no warning, 14 does.
  song.cells[6] = {SongCell{1, 0}, SongCell{13, 0}, SongCell{14, 0}};
  fixtures::writeFile(dir / "s.zvo", fixtures::songFile(song));
  auto r = run(zorvik("info " + shellQuote((dir / "s.zvo").string())));
  EXPECT_EQ(r.status, 0);
  for (const char* expected :
       {"Title:        Example\n", "Bank:         drums.zvi\n",
        "Tempo:        100 (80.7 beats a minute, at four steps a beat)\n",
        "Step length:  5950 samples (185.9 ms)\n",
        "Loop length:  571200 samples (17.85 s, 96 steps)\n",
        "Notes:        9 (channel 1: 3, channel 2: 3, channel 3: 3)\n",
        "Instruments:  a×4 b×1 c×1 m×2 p×1\n", "Warnings:     4\n",
        "  step 4, channel 1: instrument p of D4p has no sample in the bank;",
        "  step 4, channel 2: 16b is past the note table (pitch rows 0 to 15);",
        "  step 4, channel 3: A#3 plays but the roll cannot show it (it shows B3 to G5",
        "  step 6, channel 3: A5 plays but the roll cannot show it"}) {
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
  }
}

}  // namespace
}  // namespace zorvik
