#!/usr/bin/env python3
"""audio_check.py -- listens to a recording of the game's output (SDL's disk
driver: raw signed 16-bit little-endian stereo at 22050 frames a second).

  audio_check.py shot RAW FROM_BYTE GUN1.wav GUN2.wav
      The first sound after FROM_BYTE: its delay, whether its first 30 ms
      match gun1 better than gun2, at the guns' volume (-50 dB).
  audio_check.py explosion RAW FROM_BYTE
      The first loud sound (the explosion plays at full volume) after
      FROM_BYTE: its delay, peak and length.
  audio_check.py loop RAW MUSIC.wav
      Finds where the music starts in the recording and checks that every
      later second, across the end of the piece and its start again, lines
      up with the music with no sample lost or added.
Prints key=value lines; exits 1 when a check fails.
"""
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


def rms(a):
    return math.sqrt(sum(v * v for v in a) / max(1, len(a)))


def onset(x, start, threshold):
    for i in range(start, len(x)):
        if abs(x[i]) > threshold:
            return i
    return -1


def burst_length(x, at, threshold, gap=int(0.1 * RATE)):
    """Frames from `at` to the last frame above threshold before a quiet gap."""
    last = at
    i = at
    while i < len(x) and i - last < gap:
        if abs(x[i]) > threshold:
            last = i
        i += 1
    return last - at + 1


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
    # -50 dB of a full-scale sound is about 100.
    ok = c1 > 0.6 and c1 > c2 + 0.1 and 30 < peak < 400
    return 0 if ok else 1


def explosion(raw, from_byte):
    left, _ = read_raw(raw, int(from_byte))
    start = 0
    at = onset(left, start, 3000)
    if at < 0:
        print("explosion_heard=0")
        return 1
    length = burst_length(left, at, 500)
    peak = max(abs(v) for v in left[at:at + length])
    print(f"explosion_heard=1 delay_ms={(at - start) * 1000.0 / RATE:.1f} peak={peak} "
          f"length_s={length / RATE:.2f}")
    # Later hits restart the sound, so it may last longer than one.
    return 0 if peak > 10000 and 0.7 < length / RATE < 6.0 else 1


def loop(raw, music):
    left, _ = read_raw(raw)
    m, rate = read_wav_mono(music)
    if rate != RATE:
        print("music_rate_unexpected=1")
        return 1
    n = len(m)
    # Where the music starts: at full volume in the output format it is
    # copied sample for sample, so its first 64 samples appear exactly.
    head = [int(v) for v in m[:64]]
    start = -1
    for s in range(len(left) - 64):
        if left[s] == head[0] and list(left[s:s + 64]) == head:
            start = s
            break
    if start < 0:
        print("music_heard=0")
        return 1
    # Every following second (the ring wraps every 10 s, the piece every
    # 32 s): the recording must line up with the looped music at lag 0.
    seconds = (len(left) - start) // RATE - 1
    bad, masked = [], []
    for k in range(seconds):
        a = start + k * RATE
        seg = [float(v) for v in left[a:a + RATE // 10]]
        exp = [m[(k * RATE + i) % n] for i in range(RATE // 10)]
        if ncc(seg, exp) >= 0.5:
            continue
        # A shot or an explosion over the music hides it; a gap or a slip
        # leaves the level alone and breaks the match.
        if rms(seg) > 1.5 * rms(exp):
            masked.append(k)
        else:
            bad.append(k)
    crossed = (len(left) - start) > n + RATE
    print(f"music_heard=1 music_start_s={start / RATE:.2f} seconds_checked={seconds} "
          f"loop_crossed={int(crossed)} misaligned_seconds={bad} masked_seconds={masked}")
    return 0 if crossed and not bad and len(masked) * 4 < seconds else 1


def main():
    cmd = sys.argv[1]
    if cmd == "shot":
        return shot(*sys.argv[2:6])
    if cmd == "explosion":
        return explosion(*sys.argv[2:4])
    if cmd == "loop":
        return loop(*sys.argv[2:4])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
