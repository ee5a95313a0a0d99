"""A male model voice made by formant synthesis: a glottal source with a natural contour,
a cascade of formant resonators, and shaped noise for frication and breath.

Everything is seeded, so that a rerun gives the same samples and the encoded files stay
byte-identical. Signals are numpy float64 arrays at RATE.
"""

import math

import numpy as np

RATE = 44100

# F1-F3 come from the targets. The higher resonances stand for the rest of the tract: without
# them the spectrum falls away above F3 and formant trackers put a pole where there is none.
HIGHER = (3350.0, 4300.0, 5200.0, 6200.0)
BANDWIDTHS = (80.0, 100.0, 150.0)
HIGH_BYPASS = 1.0


def _smooth(x: np.ndarray) -> np.ndarray:
    """0..1 -> 0..1 with zero slope at both ends."""
    x = np.clip(x, 0.0, 1.0)
    return 0.5 - 0.5 * np.cos(np.pi * x)


def f0_contour(n: int, high: float = 128.0, low: float = 100.0) -> np.ndarray:
    """Citation pitch: a short rise to a peak near a sixth of the way, then a gentle fall."""
    t = np.arange(n) / max(n - 1, 1)
    rise = high * 0.96 + (high - high * 0.96) * _smooth(t / 0.16)
    fall = high - (high - low) * _smooth((t - 0.16) / 0.84)
    return np.where(t < 0.16, rise, fall)


def glottal_source(f0: np.ndarray, rng: np.random.Generator, open_quotient: np.ndarray,
                   skew: float = 0.75, jitter: float = 0.006,
                   shimmer: float = 0.045) -> tuple[np.ndarray, np.ndarray]:
    """Differentiated Rosenberg pulses, one period at a time with jitter and shimmer.

    Returns (flow derivative, flow) so that breath noise can be pulsed with the flow.
    """
    n = len(f0)
    flow = np.zeros(n)
    start = 0.0
    t = np.arange(n, dtype=float)
    while start < n - 1:
        i = int(start)
        period = RATE / f0[i] * (1.0 + rng.normal(0.0, jitter))
        amplitude = 1.0 + rng.normal(0.0, shimmer)
        oq = open_quotient[i]
        rise, fall = skew * oq * period, (1 - skew) * oq * period
        lo, hi = i, min(n, int(start + rise + fall) + 2)
        tau = t[lo:hi] - start
        pulse = np.where(tau < rise, 0.5 - 0.5 * np.cos(np.pi * np.clip(tau / rise, 0, 1)),
                         np.cos(0.5 * np.pi * np.clip((tau - rise) / fall, 0, 1)))
        pulse[tau < 0] = 0.0
        pulse[tau > rise + fall] = 0.0
        flow[lo:hi] += amplitude * pulse
        start += period
    derivative = np.diff(flow, prepend=0.0) * (RATE / 100.0)
    return derivative, flow


def resonate(x: np.ndarray, freq: np.ndarray, bw: np.ndarray) -> np.ndarray:
    """A two-pole resonator with unit gain at 0 Hz, its frequency moving sample by sample."""
    c = -np.exp(-2 * np.pi * bw / RATE)
    b = 2 * np.exp(-np.pi * bw / RATE) * np.cos(2 * np.pi * freq / RATE)
    a = 1 - b - c
    y = np.zeros_like(x)
    y1 = y2 = 0.0
    for k in range(len(x)):
        v = a[k] * x[k] + b[k] * y1 + c[k] * y2
        y[k] = v
        y2, y1 = y1, v
    return y


def antiresonate(x: np.ndarray, freq: float, bw: float) -> np.ndarray:
    """A fixed two-zero notch (the nasal branch's antiformant)."""
    c = -math.exp(-2 * math.pi * bw / RATE)
    b = 2 * math.exp(-math.pi * bw / RATE) * math.cos(2 * math.pi * freq / RATE)
    a = 1 - b - c
    y = np.empty_like(x)
    x1 = x2 = 0.0
    for k in range(len(x)):
        y[k] = (x[k] - b * x1 - c * x2) / a
        x2, x1 = x1, x[k]
    return y


def tract(x: np.ndarray, formants: np.ndarray, bandwidths=BANDWIDTHS) -> np.ndarray:
    """Cascade of resonators: F1-F3 moving as formants (n, 3) says, the higher ones fixed."""
    n = len(x)
    y = x
    for i in range(3):
        y = resonate(y, formants[:, i], np.full(n, bandwidths[i]))
    for f in HIGHER:
        y = resonate(y, np.full(n, f), np.full(n, 250.0 + 0.05 * f))
    # The resonances above 6 kHz that a short cascade leaves out: without them the voice sounds
    # muffled, so a little of the source itself passes round the cascade.
    return y + 1.5 * highpass(y, 3000.0) + HIGH_BYPASS * highpass(highpass(x, 5000.0), 5000.0)


def track(points: list[tuple[float, tuple[float, ...]]], n: int) -> np.ndarray:
    """Formant tracks through (fraction of duration, (F1, F2, F3)) points, eased between."""
    t = np.arange(n) / max(n - 1, 1)
    out = np.zeros((n, len(points[0][1])))
    for (t0, v0), (t1, v1) in zip(points, points[1:]):
        sel = (t >= t0) & (t <= t1)
        w = _smooth((t[sel] - t0) / max(t1 - t0, 1e-9))[:, None]
        out[sel] = np.array(v0) * (1 - w) + np.array(v1) * w
    out[t < points[0][0]] = points[0][1]
    out[t > points[-1][0]] = points[-1][1]
    return out


def envelope(n: int, attack: float, release: float) -> np.ndarray:
    t = np.arange(n) / RATE
    total = n / RATE
    return _smooth(t / attack) * _smooth((total - t) / release)


def highpass(x: np.ndarray, cutoff: float) -> np.ndarray:
    """One-pole high-pass: takes the rumble out of white noise."""
    k = math.exp(-2 * math.pi * cutoff / RATE)
    y = np.empty_like(x)
    prev_x = prev_y = 0.0
    for i in range(len(x)):
        prev_y = k * (prev_y + x[i] - prev_x)
        prev_x = x[i]
        y[i] = prev_y
    return y


def voiced(formants: np.ndarray, rng: np.random.Generator, f0: np.ndarray,
           breath: np.ndarray, amp: np.ndarray, bandwidths=BANDWIDTHS) -> np.ndarray:
    """Voice (and breath pulsed with it) through the tract given by formants (n, 3)."""
    n = len(f0)
    # The folds open wider (breathier, softer) where the breath is strong.
    oq = 0.55 + 0.25 * np.clip(breath / 0.5, 0, 1)
    excitation, flow = glottal_source(f0, rng, oq)
    noise = highpass(rng.normal(0.0, 1.0, n), 300.0)
    pulsed = noise * (0.35 + 0.65 * flow / max(flow.max(), 1e-9))
    source = amp * excitation + breath * pulsed * 9.0
    return tract(source, formants, bandwidths)


def vowel(points, seconds: float, seed: int, high: float = 128.0, low: float = 100.0,
          f3: float | None = None) -> np.ndarray:
    """An isolated vowel in citation form: breathy onset, falling pitch, breathy offset."""
    rng = np.random.default_rng(seed)
    n = int(seconds * RATE)
    formants = track(points, n)
    f0 = f0_contour(n, high, low)
    t = np.arange(n) / RATE
    onset = 1 - _smooth(t / 0.06)
    offset = _smooth((t - (seconds - 0.09)) / 0.09)
    breath = 0.03 + 0.35 * onset + 0.45 * offset
    amp = envelope(n, 0.035, 0.10) * (1.0 - 0.25 * _smooth(t / seconds))
    y = voiced(formants, rng, f0, breath, amp) * envelope(n, 0.005, 0.04)
    return y / np.max(np.abs(y))


def bark(f):
    """Traunmüller's Bark scale."""
    f = np.asarray(f, dtype=float)
    return 26.81 * f / (1960.0 + f) - 0.53
