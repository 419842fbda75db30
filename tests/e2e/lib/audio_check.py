#!/usr/bin/env python3
# audio_check.py over_music RAW FROM_BYTE -- with the music playing, the
# shot after FROM_BYTE stands out above it (see over_music).
# audio_check.py shot RAW FROM_BYTE GUN1.wav GUN2.wav -- in a recording of
# the game's output (SDL's disk driver: raw signed 16-bit little-endian
# stereo at 22050 frames a second) the first sound after FROM_BYTE: its
# delay, whether its first 30 ms match gun1 better than gun2, at the
# fighter's gun's volume (-12 dB). Prints key=value lines; exits 1 when a check fails.
import array
import math
import sys
import wave

RATE = 22050


def read_raw(path, from_byte=0, seconds=None):
    """Both channels from from_byte (rounded down to a frame) on."""
    a = array.array("h")
    with open(path, "rb") as f:
        f.seek(from_byte - from_byte % 4)
        a.frombytes(f.read(-1 if seconds is None else int(seconds * RATE) * 4))
    if sys.byteorder != "little":
        a.byteswap()
    return a[0::2], a[1::2]  # left, right


def read_wav_mono(path):
    """The left (or only) channel as floats, and its rate."""
    with wave.open(path, "rb") as w:
        ch, width, rate, n = w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()
        raw = w.readframes(n)
    if width == 1:
        vals = [b - 128 for b in raw]
    else:
        a = array.array("h")
        a.frombytes(raw)
        vals = list(a)
    return [float(v) for v in vals[0::ch]], rate


def resample(x, rate):
    """Linear interpolation to the output rate."""
    n = int(len(x) * RATE / rate)
    out = []
    for i in range(n):
        t = i * rate / RATE
        k = int(t)
        f = t - k
        a = x[k]
        b = x[k + 1] if k + 1 < len(x) else a
        out.append(a + (b - a) * f)
    return out


def ncc(a, b):
    sa = sum(v * v for v in a)
    sb = sum(v * v for v in b)
    if sa == 0 or sb == 0:
        return 0.0
    return sum(x * y for x, y in zip(a, b)) / math.sqrt(sa * sb)


def onset(x, start, threshold):
    for i in range(start, len(x)):
        if abs(x[i]) > threshold:
            return i
    return -1


def best_match(seg, template, lags):
    return max(ncc(seg[lag:lag + len(template)], template) for lag in range(lags))


def shot(raw, from_byte, gun1, gun2):
    left, _ = read_raw(raw, int(from_byte), 2.0)
    start = 0
    at = onset(left, start, 10)
    if at < 0:
        print("shot_heard=0")
        return 1
    window = int(0.03 * RATE)
    seg = [float(v) for v in left[max(0, at - 20):at + window + 20]]
    g1, r1 = read_wav_mono(gun1)
    t1 = resample(g1, r1)[:window]
    g2, r2 = read_wav_mono(gun2)
    t2 = resample(g2, r2)[:window]
    c1, c2 = best_match(seg, t1, 40), best_match(seg, t2, 40)
    peak = max(abs(v) for v in left[at:at + window])
    delay_ms = (at - start) * 1000.0 / RATE
    print(f"shot_heard=1 delay_ms={delay_ms:.1f} match_gun1={c1:.2f} match_gun2={c2:.2f} peak={peak}")
    # -12 dB of a full-scale sound is about 8200: between -18 and -6 dB.
    ok = c1 > 0.6 and c1 > c2 + 0.1 and 4100 < peak < 16400
    return 0 if ok else 1


def highpass(x, hz):
    """A second-order high-pass (Butterworth, bilinear transform)."""
    w = math.tan(math.pi * hz / RATE)
    k = 1.0 / (1.0 + math.sqrt(2.0) * w + w * w)
    b0, b1, b2 = k, -2.0 * k, k
    a1, a2 = 2.0 * (w * w - 1.0) * k, (1.0 - math.sqrt(2.0) * w + w * w) * k
    out, x1, x2, y1, y2 = [], 0.0, 0.0, 0.0, 0.0
    for v in x:
        y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
        out.append(y)
        x2, x1, y2, y1 = x1, v, y1, y
    return out


def window_levels(x):
    """dBFS of each 50-ms window."""
    w = int(0.05 * RATE)
    return [20 * math.log10(max(1e-9, math.sqrt(sum(v * v for v in x[i:i + w]) / w)) / 32768)
            for i in range(0, len(x) - w + 1, w)]


def over_music(raw, from_byte):
    """A shot after FROM_BYTE stands 6 dB over the music of the second
    before it, above 1 kHz (where the crack is and the music is quiet);
    nothing in those two seconds reaches full scale."""
    second = RATE * 4
    start = max(0, int(from_byte) - second)
    left, right = read_raw(raw, start, 2.0)
    split = (int(from_byte) - start) // 4
    loudest = max(max(abs(v) for v in left), max(abs(v) for v in right))
    hp = highpass([float(v) for v in left], 1000.0)
    before = sorted(window_levels(hp[:split]))
    after = window_levels(hp[split:split + RATE // 2])
    if not before or not after:
        print("shot_over_music=0 short_recording=1")
        return 1
    music, shot_level = before[len(before) // 2], max(after)
    print(f"music_above_1k_dbfs={music:.1f} shot_above_1k_dbfs={shot_level:.1f} peak={loudest}")
    return 0 if shot_level >= music + 6.0 and loudest < 32767 else 1


if __name__ == "__main__":
    if sys.argv[1:2] == ["shot"]:
        sys.exit(shot(*sys.argv[2:6]))
    if sys.argv[1:2] == ["over_music"]:
        sys.exit(over_music(*sys.argv[2:4]))
    sys.exit(2)
