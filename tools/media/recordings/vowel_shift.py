"""Moves the first two formants of one vowel inside a synthesised word to a target, keeping the
voice.

The word's low band is inverse-filtered frame by frame with its own LPC polynomial and filtered
again through the same polynomial with only the F1 and F2 poles moved. The source (the residual)
is the word's own, so pitch, jitter and breath stay, and where nothing moves the word comes back
unchanged. The poles move fully over the middle of the vowel and not at all at its edges, so the
consonant transitions into and out of it keep their shape.
"""

import numpy as np

RATE = 11025       # analysis rate: a woman's F1..F4 lie below SPLIT
SPLIT = 5000.0     # Hz; the band above passes untouched
ORDER = 10
HOP = 0.005        # seconds between polynomial updates
WINDOW = 0.025
PRE_EMPHASIS = 0.97
RAMP = 0.3         # fraction of the vowel at each end over which the shift fades in and out
MAX_BANDWIDTH = 600.0


def _hertz(z: complex) -> float:
    return np.angle(z) * RATE / (2 * np.pi)


def _resample(x: np.ndarray, n: int) -> np.ndarray:
    """Band-limited resampling to n samples in the frequency domain (the signal starts and ends
    in silence, so treating it as periodic costs nothing)."""
    spectrum = np.fft.rfft(x)
    out = np.zeros(n // 2 + 1, dtype=complex)
    keep = min(len(spectrum), len(out))
    out[:keep] = spectrum[:keep]
    return np.fft.irfft(out, n) * n / len(x)


def _low_band(x: np.ndarray, rate: int) -> np.ndarray:
    spectrum = np.fft.rfft(x)
    freq = np.fft.rfftfreq(len(x), 1.0 / rate)
    edge = 400.0  # raised-cosine transition below SPLIT
    gain = np.clip((SPLIT - freq) / edge, 0.0, 1.0)
    gain = 0.5 - 0.5 * np.cos(np.pi * gain)
    return np.fft.irfft(spectrum * gain, len(x))


def _lpc(frame: np.ndarray) -> np.ndarray:
    """Autocorrelation LPC by Levinson-Durbin; a[0] = 1."""
    r = np.correlate(frame, frame, "full")[len(frame) - 1: len(frame) + ORDER]
    r[0] *= 1.0 + 1e-9  # a silent frame still gives a stable polynomial
    if r[0] <= 0.0:
        return np.append(1.0, np.zeros(ORDER))
    a = np.array([1.0])
    err = r[0]
    for i in range(1, ORDER + 1):
        k = -(r[i] + np.dot(a[1:], r[i - 1:0:-1])) / err
        a = np.append(a, 0.0) + k * np.append(a, 0.0)[::-1]
        err *= 1.0 - k * k
    return a


def _formant_roots(roots: np.ndarray) -> list:
    """Indexes of the upper-half-plane roots that are formants, lowest first."""
    found = []
    for i, z in enumerate(roots):
        bandwidth = -np.log(abs(z)) * RATE / np.pi
        if z.imag > 0 and _hertz(z) > 150.0 and bandwidth < MAX_BANDWIDTH:
            found.append((_hertz(z), i))
    return [i for _, i in sorted(found)]


def _power(a: np.ndarray) -> float:
    response = np.fft.rfft(a, 512)
    return float(np.mean(1.0 / np.abs(response) ** 2))


def _weight(t: float, start: float, end: float) -> float:
    if t <= start or t >= end:
        return 0.0
    ramp = RAMP * (end - start)
    edge = min(1.0, (t - start) / ramp, (end - t) / ramp)
    return 0.5 - 0.5 * np.cos(np.pi * edge)


def _frames(y: np.ndarray):
    """Per hop: its first sample and the LPC polynomial of the window centred on it."""
    hop, half = int(round(HOP * RATE)), int(round(WINDOW * RATE / 2))
    window = np.hamming(2 * half)
    padded = np.concatenate([np.zeros(half), y, np.zeros(half + hop)])
    for first in range(0, len(y), hop):
        centre = first + hop // 2
        yield first, centre / RATE, _lpc(padded[centre: centre + 2 * half] * window)


def _middle_formants(y: np.ndarray, start: float, end: float, pick) -> list:
    """Median frequencies of the roots pick(roots) chooses, over the frames within 10 ms of the
    vowel's middle, where it is measured against its target; empty when pick finds none."""
    middle = (start + end) / 2
    found = []
    for _, t, a in _frames(y):
        if abs(t - middle) <= 0.01:
            roots = np.roots(a)
            chosen = pick(roots)
            if len(chosen) >= 2:
                found.append([_hertz(roots[i]) for i in chosen[:2]])
    return list(np.median(np.array(found), axis=0)) if found else []


def measure(y: np.ndarray, start: float, end: float) -> tuple:
    """F1, F2 (Hz) at the vowel's middle: the two lowest formant roots."""
    found = _middle_formants(y, start, end, _formant_roots)
    if not found:
        raise ValueError("no formants found in the vowel")
    return tuple(found)


def _poles_near(roots: np.ndarray, tracks: tuple) -> list:
    """Indexes of the upper-half-plane roots nearest each track in turn, each used once; empty
    when one lies more than a factor 1.6 from its track. Nearest, not lowest: at a vowel's edges
    a weak F1 may be missing, and the rank would take F2 for it."""
    upper = [i for i, z in enumerate(roots) if z.imag > 0 and _hertz(z) > 150]
    chosen = []
    for track in tracks:
        free = [i for i in upper if i not in chosen]
        if not free:
            return []
        distance = {i: abs(np.log(_hertz(roots[i]) / track)) for i in free}
        best = min(free, key=distance.get)
        if distance[best] > 0.5:
            return []
        chosen.append(best)
    return chosen


def _moved(a: np.ndarray, tracks: tuple, ratios: tuple, weight: float) -> np.ndarray:
    """a with the poles nearest the vowel's F1 and F2 tracks moved by ratio ** weight."""
    if weight == 0.0:
        return a
    roots = np.roots(a)
    chosen = _poles_near(roots, tracks)
    if not chosen:
        return a
    for i, ratio in zip(chosen, ratios):
        z = roots[i]
        moved = abs(z) * np.exp(1j * np.angle(z) * ratio ** weight)
        conjugate = int(np.argmin(np.abs(roots - np.conj(z))))
        roots[i], roots[conjugate] = moved, np.conj(moved)
    return np.real(np.poly(roots))


def _measure_near(y: np.ndarray, start: float, end: float, expected: tuple) -> tuple:
    """Like measure, but taking the poles nearest where F1 and F2 should be, however broad: a
    moved vowel's F2 may come back broader than measure accepts."""
    found = _middle_formants(y, start, end, lambda roots: _poles_near(roots, expected))
    return tuple(found) if found else expected


def _emphasised_low_band(x: np.ndarray, rate: int) -> tuple:
    low = _low_band(x, rate)
    y = _resample(low, int(round(len(x) * RATE / rate)))
    return low, np.append(y[0], y[1:] - PRE_EMPHASIS * y[:-1])


def _filtered(emphasised: np.ndarray, start: float, end: float, tracks: tuple,
              ratios: tuple) -> np.ndarray:
    out = np.zeros_like(emphasised)
    hop = int(round(HOP * RATE))
    for first, t, a in _frames(emphasised):
        moved = _moved(a, tracks, ratios, _weight(t, start, end))
        gain = np.sqrt(_power(a) / _power(moved)) if moved is not a else 1.0
        for n in range(first, min(first + hop, len(out))):
            past = emphasised[max(0, n - ORDER): n][::-1]
            residual = emphasised[n] + np.dot(a[1: 1 + len(past)], past)
            history = out[max(0, n - ORDER): n][::-1]
            out[n] = gain * residual - np.dot(moved[1: 1 + len(history)], history)
    return out


def shift(x: np.ndarray, rate: int, start: float, end: float, target: tuple) -> np.ndarray:
    """x with the vowel between start and end (seconds) moved to target (F1, F2 in Hz)."""
    low, emphasised = _emphasised_low_band(x, rate)
    before = measure(emphasised, start, end)
    ratios = (target[0] / before[0], target[1] / before[1])
    out = _filtered(emphasised, start, end, before, ratios)
    # A broad pole's peak does not land exactly where the pole went: correct once by what the
    # first pass gave.
    after = _measure_near(out, start, end, target)
    ratios = tuple(r * t / f for r, t, f in zip(ratios, target, after))
    out = _filtered(emphasised, start, end, before, ratios)
    restored = np.zeros_like(out)  # the pre-emphasis undone
    for n in range(len(out)):
        restored[n] = out[n] + (PRE_EMPHASIS * restored[n - 1] if n else 0.0)
    y = x - low + _low_band(_resample(restored, len(x)), rate)
    # The frames' gains keep each filter's power, not the word's loudness, which a vowel moved
    # towards F1 gains: bring the vowel back to its own level, fading as the move does.
    inside = slice(int(start * rate), int(end * rate))
    level = np.sqrt(np.sum(x[inside] ** 2) / max(np.sum(y[inside] ** 2), 1e-20))
    times = np.arange(len(y)) / rate
    return y * level ** np.array([_weight(t, start, end) for t in times])
