#!/usr/bin/env python3
"""Regenerates every clip of the sound folder.

Spoken clips come from readings.tsv through Open JTalk and the given HTS voice; the four alarm
sounds are synthesised with sox. Every clip ends up as a plain RIFF WAVE file (a 16-byte PCM
"fmt " chunk, then "data"), 44.1 kHz, 16-bit, mono. The announcer plays clips back to back, so
a spoken clip keeps at most 5 ms before its first sound and 15 ms after its last (sound: a
sample at -40 dBFS or louder); alarms keep a few milliseconds of silence and their ringing
tails. Spoken clips share one loudness (the RMS of their voiced frames); alarms share one peak
level. Needs python3 (standard library only), open_jtalk and sox.

    python3 voice/generate.py --voice tohoku-f01-neutral.htsvoice [--out sound]
"""

import argparse
import array
import math
import os
import shutil
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_DIC = "/var/lib/mecab/dic/open-jtalk/naist-jdic"

RATE = 44100
# Open JTalk peaks at full scale on some words; this headroom keeps the resampler clear.
PRE_GAIN_DB = -6.0
# Loudness of the spoken clips: RMS of their voiced frames, and the highest peak allowed.
SPEECH_RMS_DBFS = -17.0
PEAK_CEILING_DBFS = -1.0
ALARM_PEAK_DBFS = -6.0

# Speech bounds. A spoken clip is cut where its 1 ms peak envelope (the largest magnitude in
# each 1 ms block, as written to the file) first and last reaches SOUND_DBFS. A peak envelope,
# not an RMS one: on these voices a 1 ms RMS reaches -40 dBFS some 6 ms after the waveform's
# peaks do, so RMS bounds would cut fricative onsets ("s", "f", "h") that are already heard.
# The margins hold the fades, so no sample at the threshold is faded or cut; a block is 1 ms,
# so the silence left is SPEECH_LEAD_MS to SPEECH_LEAD_MS + 1 before the sound and
# SPEECH_TAIL_MS to SPEECH_TAIL_MS + 1 after it.
SOUND_DBFS = -40.0
ENVELOPE_MS = 1
SPEECH_LEAD_MS = 4      # kept before the first sounding block: at most 5 ms of silence
SPEECH_TAIL_MS = 13     # kept after the last one: at most 15 ms, the vowel's decay faded out
SPEECH_FADE_IN_MS = 3   # raised-cosine fades inside those margins, against clicks at the cut
SPEECH_FADE_OUT_MS = 10

# Alarm bounds: frames this far below the loudest one count as silence, low enough to keep the
# ringing tails of the chime and the soft tone.
LEAD_MS = 5      # silence kept before the first sounding frame
TAIL_MS = 10     # and after the last one
FADE_MS = 3      # against clicks at the cut
FRAME_MS = 5     # frame length for finding the sound
ALARM_GATE_DB = 60.0

# The four alarm sounds: for each, sox commands run in order inside a scratch folder; {out}
# stands for the finished sound, which is then trimmed by trim() and its alarm gate.
ALARMS = {
    # "チチ チチ チチ ・・・": three pairs of short high chirps.
    "alarm1": [
        "sox -n -r 44100 -c 1 -e floating-point -b 32 chirp.wav synth 0.045 sine 3400-4400 sine mix 6800-8800"
        " fade q 0.004 0.045 0.012",
        "sox chirp.wav pair.wav pad 0 0.045 repeat 1",
        "sox pair.wav {out} pad 0 0.22 repeat 2",
    ],
    # "プルン プルン プルン": three trill bursts, a ringing bell-like pair of tones warbled.
    "alarm2": [
        "sox -n -r 44100 -c 1 -e floating-point -b 32 burst.wav synth 0.36 sine 1250 sine mix 1580"
        " tremolo 18 95 fade q 0.01 0.36 0.08",
        "sox burst.wav {out} pad 0 0.16 repeat 2",
    ],
    # "ピンポン": a two-tone chime, 880 Hz then 698 Hz, each decaying like a struck bar.
    "alarm3": [
        "sox -n -r 44100 -c 1 -e floating-point -b 32 ding.wav synth 1.1 sine 880 sine mix 1760"
        " fade l 0.004 1.1 1.05",
        "sox -n -r 44100 -c 1 -e floating-point -b 32 dong.wav synth 1.4 sine 698 sine mix 1396"
        " fade l 0.004 1.4 1.35 pad 0.42",
        "sox -m ding.wav dong.wav {out}",
    ],
    # "ポン": a single soft tone.
    "alarm4": [
        "sox -n -r 44100 -c 1 -e floating-point -b 32 {out} synth 0.5 sine 1000 fade l 0.008 0.5 0.48",
    ],
}

KANA_PUNCT = set("ー、。・ 　")


def is_kana(ch):
    return "\u3041" <= ch <= "\u3096" or "\u30a1" <= ch <= "\u30fa" or ch in KANA_PUNCT


def read_table(path):
    """Returns [(name, kana)] from the readings table; rejects anything that is not kana."""
    rows = []
    seen = set()
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 2 or not parts[0] or not parts[1]:
                sys.exit(f"{path}:{number}: expected NAME<TAB>KANA")
            name, kana = parts
            if name in seen:
                sys.exit(f"{path}:{number}: {name} appears twice")
            bad = [c for c in kana if not is_kana(c)]
            if bad:
                sys.exit(f"{path}:{number}: not kana: {''.join(bad)!r} (feed the voice kana only)")
            seen.add(name)
            rows.append((name, kana))
    return rows


def run(cmd, **kw):
    result = subprocess.run(cmd, capture_output=True, **kw)
    if result.returncode != 0:
        shown = cmd if isinstance(cmd, str) else " ".join(cmd)
        sys.exit(f"failed: {shown}\n{result.stderr.decode(errors='replace')}")


# Intermediate files are headerless little-endian 32-bit floats at RATE, mono: sox writes
# 32-bit WAV as WAVE_FORMAT_EXTENSIBLE, which older wave modules cannot read.
RAW_FLOAT = ["-t", "raw", "-e", "floating-point", "-b", "32", "-L", "-c", "1", "-r", str(RATE)]


def read_float32(path):
    data = array.array("f")
    with open(path, "rb") as f:
        data.frombytes(f.read())
    if sys.byteorder != "little":
        data.byteswap()
    return list(data)


def frame_rms(samples, frame):
    out = []
    for i in range(0, len(samples), frame):
        chunk = samples[i:i + frame]
        out.append(math.sqrt(sum(s * s for s in chunk) / len(chunk)))
    return out


def db(x):
    return 20.0 * math.log10(x) if x > 0 else -math.inf


def trim(samples, gate_db):
    """Cuts the silence around an alarm down to LEAD_MS / TAIL_MS and fades the cut edges."""
    frame = RATE * FRAME_MS // 1000
    rms = frame_rms(samples, frame)
    loudest = max(rms)
    if loudest <= 0:
        sys.exit("silent clip")
    gate = loudest * 10 ** (-gate_db / 20)
    voiced = [i for i, r in enumerate(rms) if r > gate]
    start = max(0, voiced[0] * frame - RATE * LEAD_MS // 1000)
    end = min(len(samples), (voiced[-1] + 1) * frame + RATE * TAIL_MS // 1000)
    out = samples[start:end]
    fade = min(RATE * FADE_MS // 1000, len(out) // 2)
    for i in range(fade):
        g = i / fade
        out[i] *= g
        out[-1 - i] *= g
    return out


def pcm16(value):
    """The 16-bit sample a float sample (full scale 1.0) is written as."""
    return max(-32767, min(32767, int(round(value * 32767.0))))


def sound_bounds(samples, gain):
    """(first, end) sample indexes of the 1 ms blocks that reach SOUND_DBFS once written with
    `gain`: the speech lies in samples[first:end]. Exits when nothing reaches it."""
    threshold = 32768 * 10 ** (SOUND_DBFS / 20)
    block = RATE * ENVELOPE_MS // 1000
    sounding = [i for i in range(0, len(samples), block)
                if max(abs(pcm16(s * gain)) for s in samples[i:i + block]) >= threshold]
    if not sounding:
        sys.exit(f"no sound at {SOUND_DBFS:.0f} dBFS")
    return sounding[0], min(len(samples), sounding[-1] + block)


def raised_cosine(n):
    """Gains rising from near 0 to near 1 over n samples."""
    return [0.5 - 0.5 * math.cos(math.pi * (i + 0.5) / n) for i in range(n)]


def trim_speech(samples, gain):
    """Cuts a spoken clip to SPEECH_LEAD_MS before its sound and SPEECH_TAIL_MS after it, fading
    in and out within those margins."""
    first, end = sound_bounds(samples, gain)
    start = max(0, first - RATE * SPEECH_LEAD_MS // 1000)
    stop = min(len(samples), end + RATE * SPEECH_TAIL_MS // 1000)
    out = samples[start:stop]
    fade_in = raised_cosine(min(RATE * SPEECH_FADE_IN_MS // 1000, first - start))
    for i, g in enumerate(fade_in):
        out[i] *= g
    fade_out = raised_cosine(min(RATE * SPEECH_FADE_OUT_MS // 1000, stop - end))
    for i, g in enumerate(fade_out):
        out[-1 - i] *= g
    return out


def voiced_rms(samples):
    """RMS over the 20 ms frames that carry the voice (pauses between words left out). The
    frames start every millisecond, so the figure hardly depends on where the clip is cut:
    the gain found before the trim levels the trimmed clip to within 0.2 dB."""
    width = RATE * 20 // 1000
    squares = [0.0]
    for s in samples:
        squares.append(squares[-1] + s * s)
    rms = [math.sqrt(max(0.0, squares[i + width] - squares[i]) / width)
           for i in range(0, max(1, len(samples) - width + 1), RATE // 1000)]
    loudest = max(rms)
    gate = loudest * 10 ** (-30 / 20)
    energy = [r * r for r in rms if r > gate]
    return math.sqrt(sum(energy) / len(energy))


def write_pcm16(path, samples, gain):
    ints = array.array("h", (pcm16(s * gain) for s in samples))
    if sys.byteorder != "little":
        ints.byteswap()
    # The wave module writes exactly "RIFF"/"WAVE", a 16-byte PCM "fmt " and "data".
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(ints.tobytes())


def speak(kana, voice, dic, scratch):
    raw = os.path.join(scratch, "raw.wav")
    mid = os.path.join(scratch, "mid.f32")
    run(["open_jtalk", "-x", dic, "-m", voice, "-ow", raw], input=kana.encode("utf-8"))
    run(["sox", "-D", raw] + RAW_FLOAT + [mid, "gain", str(PRE_GAIN_DB), "rate", "-v", str(RATE)])
    return read_float32(mid)


def synth_alarm(steps, scratch):
    out = os.path.join(scratch, "alarm.wav")
    for step in steps:
        run(step.format(out=out), shell=True, cwd=scratch)
    mid = os.path.join(scratch, "mid.f32")
    run(["sox", "-D", out] + RAW_FLOAT + [mid, "rate", str(RATE)])
    return trim(read_float32(mid), ALARM_GATE_DB)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--voice", required=True, help="the HTS voice file (.htsvoice)")
    parser.add_argument("--dic", default=DEFAULT_DIC, help="Open JTalk dictionary folder")
    parser.add_argument("--out", default=os.path.join(ROOT, "sound"), help="the sound folder")
    parser.add_argument("--table", default=os.path.join(HERE, "readings.tsv"))
    args = parser.parse_args()

    if not os.path.isfile(args.voice):
        sys.exit(f"voice file not found: {args.voice}")
    for tool in ("open_jtalk", "sox"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is missing (make voice installs it)")
    rows = read_table(args.table)
    os.makedirs(args.out, exist_ok=True)

    ceiling = 10 ** (PEAK_CEILING_DBFS / 20)
    target = 10 ** (SPEECH_RMS_DBFS / 20)
    made = set()
    with tempfile.TemporaryDirectory() as scratch:
        for name, kana in rows:
            # Levelled before the trim: the speech bounds are found at the level written.
            samples = speak(kana, args.voice, args.dic, scratch)
            peak = max(abs(s) for s in samples)
            gain = target / voiced_rms(samples)
            note = ""
            if peak * gain > ceiling:
                note = f"  (held to {PEAK_CEILING_DBFS:.0f} dBFS peak: {db(ceiling / (peak * gain)):+.1f} dB)"
                gain = ceiling / peak
            samples = trim_speech(samples, gain)
            write_pcm16(os.path.join(args.out, name + ".wav"), samples, gain)
            made.add(name)
            print(f"{name:18s} {len(samples) / RATE:5.2f} s  peak {db(peak * gain):6.1f} dBFS"
                  f"  voiced rms {db(voiced_rms(samples) * gain):6.1f} dBFS{note}")
        alarm_peak = 10 ** (ALARM_PEAK_DBFS / 20)
        for name, steps in ALARMS.items():
            samples = synth_alarm(steps, scratch)
            gain = alarm_peak / max(abs(s) for s in samples)
            write_pcm16(os.path.join(args.out, name + ".wav"), samples, gain)
            made.add(name)
            print(f"{name:18s} {len(samples) / RATE:5.2f} s  peak {ALARM_PEAK_DBFS:6.1f} dBFS")

    # The folder holds generated clips only: a clip no longer in the table goes.
    for entry in sorted(os.listdir(args.out)):
        if entry.endswith(".wav") and entry[:-4] not in made:
            os.remove(os.path.join(args.out, entry))
            print(f"removed stale clip {entry}")
    print(f"{len(made)} clips in {args.out}")


if __name__ == "__main__":
    main()
