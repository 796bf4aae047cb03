"""What the program said: reads the sound that the ALSA file sink captured and finds the recorded
clips of the sound folder in it, in order.

The sink writes a 44-byte WAV header naming the format Wine chose, with its length fields left
at 0, then the mixed output. Here Wine chooses 48 kHz, 2 channels, 32 bits, and the samples are
IEEE floats although the header says integer PCM (format tag 1): read as integers they are
noise. Wine resamples and mixes every clip, so bytes never match; instead both sides are brought
to the same shape and compared by normalised cross-correlation:
  - a reference clip (44.1 kHz mono 16-bit) is resampled to the capture's rate by linear
    interpolation;
  - capture and reference are reduced to about 8 kHz by averaging blocks of samples;
  - a coarse search correlates 5 ms envelopes (mean absolute value, less their mean) to find
    candidate onsets,
    and a fine search correlates the reduced waveforms around each candidate.
The right clip correlates at about 0.99, another one at 0.35 or less.

Plain Python only (array, itertools, operator, re): no numpy."""
import array
import itertools
import math
import operator
import os
import re
import struct
import wave

WORK_RATE = 8000      # rate the comparison runs at, approximately
ENVELOPE_MS = 5       # envelope block
COARSE_MIN = 0.6      # envelope correlation that makes a place worth a fine look
MATCH_MIN = 0.8       # waveform correlation that counts as the clip being there
LEAD_BLOCKS = 4       # blocks before the first loud one where a clip may begin
QUIET = 1e-4          # envelope level (full scale 1) below which a block counts as silent

HEADER = 44
_NONZERO = re.compile(rb"[^\x00]")


class CaptureFormatError(ValueError):
    pass


def capture_format(data):
    """(format tag, rate, channels, bits) from the sink's header; raises on anything else."""
    if len(data) < HEADER:
        raise CaptureFormatError("capture shorter than its header (%d bytes)" % len(data))
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE" or data[12:16] != b"fmt ":
        raise CaptureFormatError("capture does not start with a WAVE header: %r" % bytes(data[:16]))
    tag, channels, rate, _, align, bits = struct.unpack_from("<HHIIHH", data, 20)
    if data[36:40] != b"data":
        raise CaptureFormatError("no data chunk at byte 36: %r" % bytes(data[36:40]))
    if tag not in (1, 3) or bits not in (16, 32) or channels < 1 or align != channels * bits // 8:
        raise CaptureFormatError("unexpected capture format: tag %d, %d ch, %d bits, align %d"
                                 % (tag, channels, bits, align))
    return tag, rate, channels, bits


def first_sound_byte(body):
    """Offset of the first non-zero byte, or len(body)."""
    m = _NONZERO.search(body)
    return m.start() if m else len(body)


def looks_like_float(body):
    """Whether 32-bit samples are IEEE floats. Integer audio read as floats gives NaNs (every
    small negative sample) and huge or denormal values; float audio stays finite and within a
    few units of full scale. Looks at up to 256 KiB from the first sound on."""
    start = first_sound_byte(body) // 4 * 4
    values = array.array("f")
    chunk = body[start:start + (1 << 18)]
    values.frombytes(chunk[:len(chunk) // 4 * 4])
    peak = 0.0
    for v in values:
        if v != v or abs(v) > 16.0:
            return False
        if abs(v) > peak:
            peak = abs(v)
    return peak == 0.0 or peak > 1e-6


def _reduce(samples, factor, scale):
    """Averages blocks of `factor` samples (a crude low-pass before decimation), scaled."""
    n = len(samples) // factor * factor
    sums = samples[0:n:factor]
    for k in range(1, factor):
        sums = map(operator.add, sums, samples[k:n:factor])
    return array.array("d", map(operator.mul, sums, itertools.repeat(scale / factor)))


def _envelope(signal, block):
    mags = array.array("d", map(abs, signal))
    return array.array("d", (sum(mags[i:i + block]) / block
                             for i in range(0, len(mags) - block + 1, block)))


def _prefix_squares(values):
    return array.array("d", itertools.accumulate(map(operator.mul, values, values), initial=0.0))


class Capture:
    """The captured output as one channel at the working rate (full scale = 1.0)."""

    def __init__(self, path, from_byte=0):
        """from_byte: where to begin, as a size of the capture file noted earlier; the samples
        before it are skipped (a long capture need not be read whole)."""
        with open(path, "rb") as f:
            head = f.read(HEADER)
            self.tag, self.rate, self.channels, self.bits = capture_format(head)
            width = self.bits // 8
            frame = width * self.channels
            skip = max(0, from_byte - HEADER) // frame * frame
            f.seek(HEADER + skip)
            data = f.read()
        self.first_frame = skip // frame
        self.factor = max(1, round(self.rate / WORK_RATE))
        self.work_rate = self.rate / self.factor
        body = memoryview(data)
        usable = len(body) // frame * frame
        body = body[:usable]
        self.frames = usable // frame
        self.floating = self.bits == 32 and (self.tag == 3 or looks_like_float(body))
        if self.floating:
            raw, scale = array.array("f"), 1.0
        else:
            raw, scale = array.array("i" if width == 4 else "h"), 1.0 / (1 << (self.bits - 1))
        if raw.itemsize != width:
            raise CaptureFormatError("no %d-byte array type here" % width)
        raw.frombytes(body)
        # The clips are mono: every channel carries the same signal; the first one is enough.
        mono = raw[0::self.channels] if self.channels > 1 else raw
        del raw
        self.signal = _reduce(mono, self.factor, scale)
        self.block = max(1, round(self.work_rate * ENVELOPE_MS / 1000))
        self.envelope = _envelope(self.signal, self.block)
        self._sq = _prefix_squares(self.signal)
        self._esq = _prefix_squares(self.envelope)
        self._esum = array.array("d", itertools.accumulate(self.envelope, initial=0.0))

    def seconds(self, index):
        """Capture time of a working-rate sample index, from the start of the whole capture."""
        return (self.first_frame / self.factor + index) / self.work_rate

    def samples_before(self, file_size):
        """The working-rate sample index that a capture file size noted earlier had reached."""
        frames = max(0, file_size - HEADER) // (self.bits // 8 * self.channels)
        return (frames - self.first_frame) // self.factor

    def active_blocks(self):
        return [i for i, e in enumerate(self.envelope) if e > QUIET]

    def sound_runs(self, join_ms=50):
        """Stretches of sound as (first sample, end sample), joining gaps shorter than join_ms."""
        join = max(1, round(join_ms / ENVELOPE_MS))
        runs = []
        for b in self.active_blocks():
            if runs and b - runs[-1][1] <= join:
                runs[-1][1] = b + 1
            else:
                runs.append([b, b + 1])
        return [(a * self.block, z * self.block) for a, z in runs]

    def energy(self, start, end):
        return self._sq[min(end, len(self.signal))] - self._sq[max(0, start)]


def sounding_at_end(path, tail_bytes=1 << 16):
    """Whether the last bytes the sink wrote carry sound: cheap enough to poll while a long
    clip plays."""
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            size = f.tell()
            if size <= HEADER:
                return False
            f.seek(max(HEADER, size - tail_bytes))
            return first_sound_byte(f.read()) < tail_bytes
    except FileNotFoundError:
        return False


class Clip:
    """A reference clip from the sound folder, shaped like the capture."""

    def __init__(self, path, capture):
        self.name = os.path.splitext(os.path.basename(path))[0]
        with wave.open(path, "rb") as w:
            if w.getsampwidth() != 2 or w.getnchannels() != 1:
                raise ValueError("%s: expected mono 16-bit, got %d ch %d bytes"
                                 % (path, w.getnchannels(), w.getsampwidth()))
            rate = w.getframerate()
            raw = array.array("h")
            raw.frombytes(w.readframes(w.getnframes()))
        self.seconds = len(raw) / rate
        resampled = resample_linear(raw, rate, capture.rate)
        self.signal = _reduce(resampled, capture.factor, 1.0 / 32768)
        self.envelope = _envelope(self.signal, capture.block)
        self.norm = math.sqrt(sum(map(operator.mul, self.signal, self.signal)))
        self.env_sum = sum(self.envelope)
        spread = sum(map(operator.mul, self.envelope, self.envelope)) - self.env_sum ** 2 / max(1, len(self.envelope))
        self.env_spread = math.sqrt(max(0.0, spread))


def resample_linear(samples, src_rate, dst_rate):
    """Linear interpolation from src_rate to dst_rate."""
    n = len(samples)
    if src_rate == dst_rate or n < 2:
        return array.array("d", samples)
    out_n = int((n - 1) * dst_rate / src_rate) + 1
    step = src_rate / dst_rate
    out = array.array("d", bytes(8 * out_n))
    for j in range(out_n):
        x = j * step
        i = int(x)
        a = samples[i]
        out[j] = a + (samples[i + 1] - a) * (x - i) if i + 1 < n else a
    return out


def correlate_at(capture, clip, start):
    """Normalised correlation of the clip's waveform with the capture from sample `start`."""
    k = len(clip.signal)
    if start < 0 or start + k > len(capture.signal) or clip.norm == 0:
        return 0.0
    energy = capture.energy(start, start + k)
    if energy <= 0:
        return 0.0
    dot = sum(map(operator.mul, capture.signal[start:start + k], clip.signal))
    return dot / math.sqrt(energy) / clip.norm


def _envelope_score(capture, clip, block):
    """Pearson correlation of the envelopes: a steady sound (flat envelope) scores nothing."""
    k = len(clip.envelope)
    env = capture.envelope
    if block < 0 or block + k > len(env) or clip.env_spread == 0:
        return 0.0
    total = capture._esum[block + k] - capture._esum[block]
    spread = capture._esq[block + k] - capture._esq[block] - total * total / k
    if spread <= 1e-18:
        return 0.0
    dot = sum(map(operator.mul, env[block:block + k], clip.envelope)) - total * clip.env_sum / k
    return dot / math.sqrt(spread) / clip.env_spread


class Match:
    def __init__(self, name, start, length, score, at, gain):
        self.name, self.start, self.length, self.score = name, start, length, score
        self.at = at      # capture seconds
        self.gain = gain  # amplitude relative to the clip file

    @property
    def end(self):
        return self.start + self.length

    def __repr__(self):
        return "%s@%.2fs(r=%.2f,gain=%.2f)" % (self.name, self.at, self.score, self.gain)


def find_clip(capture, clip, start=0, active=None):
    """The first place at or after sample `start` where the clip sounds, as a Match, or None.

    Candidates are places near sound (silent stretches are not looked at) whose envelope
    correlation is a local peak of at least COARSE_MIN; each is refined by the waveform
    correlation over one envelope block either side, then sample by sample."""
    block = capture.block
    first = -(-start // block)
    active = capture.active_blocks() if active is None else active
    scores = {}

    def coarse(b):
        if b not in scores:
            scores[b] = _envelope_score(capture, clip, b)
        return scores[b]

    # A clip's first block may be quieter than the threshold: look a few blocks earlier too.
    candidates = sorted({b - d for b in active for d in range(LEAD_BLOCKS + 1) if b - d >= first})
    for b in candidates:
        s = coarse(b)
        if s < COARSE_MIN or (b > first and coarse(b - 1) > s) or coarse(b + 1) > s:
            continue
        best, best_at = 0.0, None
        for lag in range(max(start, (b - 1) * block), (b + 1) * block + 1):
            c = correlate_at(capture, clip, lag)
            if c > best:
                best, best_at = c, lag
        if best >= MATCH_MIN:
            k = len(clip.signal)
            gain = best * math.sqrt(capture.energy(best_at, best_at + k)) / clip.norm
            return Match(clip.name, best_at, k, best, capture.seconds(best_at), gain)
    return None


def find_sequence(capture, clips, start=0):
    """Finds the clips one after another, each after the one before. Returns (matches,
    missing): missing is the name of the first clip not found, or None."""
    active = capture.active_blocks()
    matches = []
    at = start
    for clip in clips:
        m = find_clip(capture, clip, at, active)
        if m is None:
            return matches, clip.name
        matches.append(m)
        at = m.end - capture.block  # trimmed edges of clips that follow closely may touch
    return matches, None


def unexplained(capture, matches, start=0, slack_ms=20):
    """Sound after sample `start` that no match covers: (from, to) capture seconds of the
    stretches of envelope blocks above QUIET outside every match widened by slack_ms."""
    slack = round(capture.work_rate * slack_ms / 1000)
    spans = [(m.start - slack, m.end + slack) for m in matches]
    out = []
    for a, z in capture.sound_runs(join_ms=ENVELOPE_MS):
        if z <= start:
            continue
        a = max(a, start)
        # What is left of this run after taking away every span that overlaps it.
        pieces = [(a, z)]
        for s, e in spans:
            pieces = [p for lo, hi in pieces
                      for p in ((lo, min(hi, s)), (max(lo, e), hi)) if p[1] > p[0]]
        out.extend((capture.seconds(lo), capture.seconds(hi)) for lo, hi in pieces
                   if hi - lo > capture.block)
    return out


def load_clips(sound_dir, names, capture):
    return [Clip(os.path.join(sound_dir, n + ".wav"), capture) for n in names]
