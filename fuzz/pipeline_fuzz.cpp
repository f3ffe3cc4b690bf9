// A song and a bank from any bytes, through everything the player does with
// them: the roll, the screen at many steps, and the sound, rendered both
// one sample at a time and in blocks, which must agree sample for sample.
//
// Input: the first 680 bytes are the song file (a version-2 file is exactly
// that long), the rest is the bank file. The bank header's 9 reserved
// bytes, which the loader ignores, steer the run:
//   reserved[0] bit 0: play at tempo reserved[1] instead of the song's
//   reserved[2]       the step to start at (mod 96)
//   reserved[3..4]    how many samples before the end of that step to start
//   reserved[5..6]    how many samples to render
//   reserved[7]       the block sizes handed to renderBlock

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "display/roll.hpp"
#include "display/safe_text.hpp"
#include "display/screen.hpp"
#include "engine/block_mixer.hpp"
#include "engine/mixer.hpp"
#include "engine/sequencer.hpp"
#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "formats/song.hpp"
#include "fuzz/fuzz_check.hpp"

using namespace zorvik;

namespace {

constexpr std::size_t kSongPart = kSongV2FileSize;  // 680

// The screen at a step, in both modes: 21 lines, each ended by a newline.
// In Exact mode the song's and bank's texts and the roll's note letters are
// the files' bytes (a note letter is its instrument byte plus 97, whatever
// that makes), so a line may hold any byte, a newline included, and the
// layout is checked by position. In Terminal mode the frame is drawn in
// place: with its own three sequences taken out, it is the same layout with
// the files' bytes made safe, and no control byte but the 21 newlines gets
// out.
void checkScreen(const Song& song, const SampleBankHeader& bank, const RollPages& pages,
                 std::int32_t step) {
  for (ScreenMode mode : {ScreenMode::Exact, ScreenMode::Terminal}) {
    std::ostringstream out;
    redrawScreen(out, mode, song, bank, pages, step);
    std::string text = out.str();
    const bool terminal = mode == ScreenMode::Terminal;
    const TextStyle line = terminal ? TextStyle::Line : TextStyle::Exact;
    const TextStyle columns = terminal ? TextStyle::Columns : TextStyle::Exact;
    if (terminal) {
      FUZZ_CHECK(text.starts_with("\x1b[H") && text.ends_with("\x1b[J"));
      text = text.substr(3, text.size() - 6);
      std::string plain;
      for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 4, "\x1b[K\n") == 0) {
          plain += '\n';
          at += 4;
        } else {
          plain += text[at++];
        }
      }
      text = plain;
    }

    std::string expected = "Zorvik Player v1.0\n\n";
    expected += "Title:      " + showText(textOf(song.title), line) + "\n";
    expected += "Author:     " + showText(textOf(song.author), line) + "\n";
    expected += "Samplebank: " + showText(textOf(bank.name), line) + " by " +
                showText(textOf(bank.author), line) + "\n\n";
    expected += std::string(static_cast<std::size_t>(rollColumn(step)), ' ') + "@\n";
    const RollPage& page = pages[step < kStepsPerPage ? 0 : 1];
    for (const std::string& roll : page) {
      FUZZ_CHECK(roll.size() == static_cast<std::size_t>(kRollWidth));
      std::string shown = showText(roll, columns);
      FUZZ_CHECK(shown.size() == roll.size());
      expected += shown + "\n";
    }
    expected += "press any key to exit\n";
    FUZZ_CHECK(text == expected);

    if (terminal) {
      std::size_t newlines = 0;
      for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
          ++newlines;
        } else {
          FUZZ_CHECK(c >= 0x20 && c != 0x7f);
          // A C1 control arrives neither raw nor encoded as UTF-8 (C2 80-9F).
          if (c >= 0x80 && c < 0xa0) {
            FUZZ_CHECK(i > 0 && static_cast<unsigned char>(text[i - 1]) >= 0xc0 &&
                       static_cast<unsigned char>(text[i - 1]) != 0xc2);
          }
        }
      }
      FUZZ_CHECK(newlines == 21);
    }
  }
}

struct Steering {
  bool forceTempo;
  std::uint8_t tempo;
  std::int32_t startStep;
  std::int32_t lead;
  std::size_t total;
  std::uint8_t blocks;
};

Steering steeringOf(const SampleBankHeader& header) {
  const auto& r = header.reserved;
  return {(r[0] & 1) != 0,
          r[1],
          r[2] % kSteps,
          1 + ((r[3] | (r[4] << 8)) % 4096),
          static_cast<std::size_t>(256 + ((r[5] | (r[6] << 8)) % 4096)),
          r[7]};
}

// The size of the i-th block handed to renderBlock.
std::size_t blockSize(std::uint8_t pattern, std::size_t i) {
  switch (pattern % 4) {
    case 0:
      return 1 + (i * 7 + pattern) % 64;
    case 1:
      return 1 + (pattern >> 2) * 16u;
    case 2:
      return i % 3 == 0 ? 0 : 4096;  // an empty span renders nothing
    default:
      return 1 + (i * 131 + pattern) % 997;
  }
}

void startAt(Player& player, const Steering& s) {
  player.currentStep = s.startStep;
  const std::int32_t into = std::max(0, player.samplesPerStep - s.lead);
  player.sampleCounter = s.startStep * player.samplesPerStep + into;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t songSize = std::min(size, kSongPart);
  Song song;
  SampleBank bank;
  try {
    song = readSong(MemorySource({data, songSize}));
    bank = readSampleBank(MemorySource({data + songSize, size - songSize}));
  } catch (const LoadError&) {
    return 0;
  }

  const RollPages pages = buildRollPages(song);
  const Steering steering = steeringOf(bank.header);
  for (std::int32_t step : {0, 47, 48, 95, steering.startStep}) {
    checkScreen(song, bank.header, pages, step);
  }

  const std::uint8_t tempo = steering.forceTempo ? steering.tempo : song.tempo;
  Player one(tempo, song, bank);
  Player block(tempo, song, bank);
  FUZZ_CHECK(one.samplesPerStep == stepLength(tempo));
  FUZZ_CHECK(one.samplesPerStep >= 2353 && one.samplesPerStep <= 600010);
  startAt(one, steering);
  startAt(block, steering);

  // One sample at a time, noting after each sample the step and the redraw
  // flag, and drawing the screen at each new step as the player does.
  const std::size_t total = steering.total;
  std::vector<std::int16_t> expected(total);
  std::vector<std::int32_t> stepAfter(total);
  std::vector<bool> redrawAfter(total);
  for (std::size_t i = 0; i < total; ++i) {
    const std::int32_t before = one.currentStep;
    expected[i] = nextSample(one);
    stepAfter[i] = one.currentStep;
    redrawAfter[i] = one.redraw;
    FUZZ_CHECK(one.currentStep >= 0 && one.currentStep < kSteps);
    FUZZ_CHECK(one.redraw == (one.currentStep != before));
    if (one.redraw) checkScreen(song, bank.header, pages, one.currentStep);
  }

  // In blocks: a block ends early exactly where a step ends, and leaves the
  // player as the single samples did.
  std::vector<std::int16_t> rendered(total);
  std::size_t done = 0;
  for (std::size_t call = 0; done < total; ++call) {
    const std::size_t want = std::min(blockSize(steering.blocks, call), total - done);
    const std::size_t n = renderBlock(block, std::span(rendered).subspan(done, want));
    FUZZ_CHECK(n <= want);
    FUZZ_CHECK((n == 0) == (want == 0));
    if (n == 0) continue;
    for (std::size_t i = done; i + 1 < done + n; ++i) FUZZ_CHECK(!redrawAfter[i]);
    done += n;
    FUZZ_CHECK(n == want || redrawAfter[done - 1]);
    FUZZ_CHECK(block.currentStep == stepAfter[done - 1]);
    FUZZ_CHECK(block.redraw == redrawAfter[done - 1]);
  }
  FUZZ_CHECK(rendered == expected);
  FUZZ_CHECK(block.sampleCounter == one.sampleCounter);
  for (int k = 0; k < kChannels; ++k) {
    const Voice& a = one.voices[k];
    const Voice& b = block.voices[k];
    FUZZ_CHECK(a.active == b.active);
    FUZZ_CHECK(!a.active || (a.position == b.position && a.sample == b.sample));
  }
  return 0;
}
