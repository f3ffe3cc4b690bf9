#include "engine/note_events.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "engine/sequencer.hpp"

namespace zorvik {

namespace {

// Plays `steps` steps from the song's start through the sequencer and the
// voices themselves, noting where each voice starts and stops. Notes still
// sounding after the last step end there.
std::vector<NoteEvent> playedNotes(const Song& song, const SampleBank& bank, std::uint64_t steps) {
  Player player(song.tempo, song, bank);
  const auto perStep = static_cast<std::uint64_t>(player.samplesPerStep);
  std::vector<NoteEvent> notes;
  std::array<std::optional<std::size_t>, kChannels> sounding;  // index in notes
  auto stop = [&](int k, std::uint64_t at) {
    if (sounding[k]) notes[*sounding[k]].end = at;
    sounding[k].reset();
  };
  for (std::uint64_t step = 0; step < steps; ++step) {
    const std::uint64_t at = step * perStep;
    processStep(player);
    for (int k = 0; k < kChannels; ++k) {
      const Voice& voice = player.voices[k];
      // A voice still sounding from before has moved on from position 0;
      // one at 0 was just started, and a silent one may have been cut.
      const bool started = voice.active && voice.position == 0.0;
      if (started || !voice.active) stop(k, at);
      if (started) {
        sounding[k] = notes.size();
        notes.push_back(
            {at, at, k, voice.pitch, static_cast<int>(voice.sample - player.bank->samples.data())});
      }
    }
    for (int k = 0; k < kChannels; ++k) {
      Voice& voice = player.voices[k];
      std::uint64_t played = 0;
      while (voice.active && played < perStep) {
        stepVoice(voice);
        ++played;
      }
      if (!voice.active) stop(k, at + played);
    }
    advance(player, player.samplesPerStep);
  }
  for (int k = 0; k < kChannels; ++k) stop(k, steps * perStep);
  return notes;
}

}  // namespace

std::vector<NoteEvent> songNotes(const Song& song, const SampleBank& bank, std::uint64_t length) {
  const auto perStep = static_cast<std::uint64_t>(stepLength(song.tempo));
  const std::uint64_t loop = kSteps * perStep;
  // Each loop ends as the one before it did (every step that holds a note
  // cuts all the voices), so every loop from the second on starts alike
  // and plays the second's notes again. A third loop is played only to
  // end the second's last notes.
  const std::uint64_t steps = std::min<std::uint64_t>((length + perStep - 1) / perStep, 3 * kSteps);
  std::vector<NoteEvent> notes = playedNotes(song, bank, steps);
  const std::uint64_t kept = std::min(length, 2 * loop);
  notes.erase(std::find_if(notes.begin(), notes.end(),
                           [&](const NoteEvent& note) { return note.start >= kept; }),
              notes.end());
  const auto second = static_cast<std::size_t>(
      std::find_if(notes.begin(), notes.end(),
                   [&](const NoteEvent& note) { return note.start >= loop; }) -
      notes.begin());
  const std::size_t secondEnd = notes.size();
  for (std::uint64_t shift = loop; second < secondEnd && loop + shift < length; shift += loop) {
    for (std::size_t i = second; i < secondEnd; ++i) {
      NoteEvent note = notes[i];
      note.start += shift;
      note.end += shift;
      if (note.start >= length) break;
      notes.push_back(note);
    }
  }
  for (NoteEvent& note : notes) note.end = std::min(note.end, length);
  return notes;
}

}  // namespace zorvik
