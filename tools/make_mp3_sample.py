#!/usr/bin/env python3
"""Build data/mp3cdda.mp3, the sample the MP3 2 CDDA test decodes.

The signal is our own: a chord progression with plucked-string envelopes, a
slow stereo sweep and a soft noise tick, 44.1 kHz stereo 16-bit. It is
encoded with the `lame` command at a constant 128 kbit/s with a fixed option
list and no encoder info frame, then an ID3v2.3 tag is put in front whose
padding makes the file exactly 596 940 bytes (the length the start-up check
accepts).

Everything is deterministic: the sine table is computed with plain float
additions and multiplications (no libm), all mixing is integer arithmetic,
the noise comes from a fixed linear congruential generator, and the tag has
no date. Running the script twice gives identical bytes (with the same lame
release; the script prints the encoder version it used).

Usage: tools/make_mp3_sample.py [--out PATH]   (default: data/mp3cdda.mp3
next to this script's parent folder)
"""

import argparse
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 44100
SECONDS = 36
TARGET_SIZE = 596940
TABLE_BITS = 12
TABLE_SIZE = 1 << TABLE_BITS
PHASE_BITS = 32
LAME_OPTIONS = [
    "--quiet", "-m", "j", "-b", "128", "--cbr", "-q", "2",
    "-t", "--noreplaygain", "--nohist",
]


def sine_table():
    """One period of sin() scaled to +-32767, from a Taylor series (no libm)."""
    pi = 3.14159265358979323846
    table = []
    for i in range(TABLE_SIZE):
        x = 2.0 * pi * i / TABLE_SIZE
        if x > pi:
            x -= 2.0 * pi
        # sin(x) for |x| <= pi: 25 terms are far below 16-bit resolution.
        term = x
        total = x
        for n in range(1, 25):
            term = -term * x * x / ((2 * n) * (2 * n + 1))
            total += term
        table.append(int(round(total * 32767.0)))
    return table


def note_step(midi_note):
    """Phase increment per sample for a MIDI note (equal temperament).

    Uses the ratio 2^(1/12) built by repeated multiplication from A4 = 440 Hz;
    only + and * on floats, so the result is the same on every IEEE host.
    """
    semitone = 1.0594630943592953
    freq = 440.0
    steps = midi_note - 69
    for _ in range(abs(steps)):
        freq = freq * semitone if steps > 0 else freq / semitone
    return int(freq * (1 << PHASE_BITS) / RATE)


# Four-bar progression, two seconds per chord: C, A minor, F, G (MIDI notes).
CHORDS = [
    (48, 60, 64, 67),
    (45, 57, 60, 64),
    (41, 57, 60, 65),
    (43, 55, 59, 62),
]
CHORD_SECONDS = 2


def synthesize():
    table = sine_table()
    shift = PHASE_BITS - TABLE_BITS
    mask = (1 << PHASE_BITS) - 1
    total = RATE * SECONDS
    chord_len = RATE * CHORD_SECONDS
    out = bytearray(total * 4)

    phases = [0, 0, 0, 0]
    sweep_phase = 0
    noise = 5318
    for start in range(0, total, chord_len):
        chord = CHORDS[(start // chord_len) % len(CHORDS)]
        steps = [note_step(n) for n in chord]
        for i in range(start, min(start + chord_len, total)):
            t = i - start
            # Plucked envelope: fast attack, linear decay to a third.
            if t < 441:
                env = t * 1024 // 441
            else:
                env = 1024 - (t - 441) * 680 // chord_len
            voice = 0
            for v in range(4):
                phases[v] = (phases[v] + steps[v]) & mask
                voice += table[phases[v] >> shift]
            voice = voice * env >> 13  # four voices at 1/8 each, envelope

            # Sweep from 200 Hz up to about 3.2 kHz over every eight seconds.
            pos = i % (RATE * 8)
            sweep_step = (200 * (1 << PHASE_BITS) // RATE) * (1 + pos * 15 // (RATE * 8))
            sweep_phase = (sweep_phase + sweep_step) & mask
            sweep = table[sweep_phase >> shift] >> 3

            # Short noise tick on every beat (half a second).
            noise = (noise * 1103515245 + 12345) & 0xFFFFFFFF
            beat = i % (RATE // 2)
            tick = ((noise >> 16) - 32768) * (882 - beat) // 882 >> 3 if beat < 882 else 0

            # The sweep pans from left to right and back every eight seconds.
            pan = pos * 512 // (RATE * 4)
            if pan > 512:
                pan = 1024 - pan
            left = voice + (sweep * (512 - pan) >> 9) + tick
            right = voice + (sweep * pan >> 9) - tick
            left = max(-32768, min(32767, left))
            right = max(-32768, min(32767, right))
            struct.pack_into("<hh", out, i * 4, left, right)
    return bytes(out)


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3_tag(total_size):
    """An ID3v2.3 tag of exactly total_size bytes: a title frame and padding."""
    title = b"\x00" + b"KelvaRANK MP3 2 CDDA sample"
    frame = b"TIT2" + struct.pack(">I", len(title)) + b"\x00\x00" + title
    body_size = total_size - 10
    if body_size < len(frame):
        raise ValueError("no room for the ID3 tag")
    body = frame + bytes(body_size - len(frame))
    return b"ID3\x03\x00\x00" + syncsafe(body_size) + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "data", "mp3cdda.mp3"))
    args = parser.parse_args()

    version = subprocess.run(["lame", "--version"], capture_output=True, text=True,
                             check=True).stdout.splitlines()[0]
    pcm = synthesize()
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "sample.wav")
        mp3 = os.path.join(tmp, "sample.mp3")
        with wave.open(wav, "wb") as f:
            f.setnchannels(2)
            f.setsampwidth(2)
            f.setframerate(RATE)
            f.writeframes(pcm)
        subprocess.run(["lame"] + LAME_OPTIONS + [wav, mp3], check=True)
        with open(mp3, "rb") as f:
            audio = f.read()
    if audio[:3] == b"ID3" or len(audio) + 64 > TARGET_SIZE:
        sys.exit("unexpected encoder output (%d bytes)" % len(audio))
    data = id3_tag(TARGET_SIZE - len(audio)) + audio
    assert len(data) == TARGET_SIZE
    out = os.path.normpath(args.out)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes (audio %d), md5 %s, encoder %s"
          % (out, len(data), len(audio), hashlib.md5(data).hexdigest(), version))


if __name__ == "__main__":
    main()
