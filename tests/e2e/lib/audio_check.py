#!/usr/bin/env python3
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


if __name__ == "__main__":
    sys.exit(shot(*sys.argv[2:6]) if sys.argv[1:2] == ["shot"] else 2)
