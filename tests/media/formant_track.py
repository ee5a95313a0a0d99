"""Decoding a committed recording and a plain LPC formant tracker, shared by the media tests."""

import subprocess
import tempfile
import wave

import numpy as np


def decode(decoder, mp3, rate):
    """The first channel of mp3 as sonavix-decode gives it, resampled to rate."""
    with tempfile.TemporaryDirectory() as tmp:
        out = tmp + "/out.wav"
        subprocess.run([decoder, mp3, out], check=True, capture_output=True)
        with wave.open(out) as w:
            source, channels = w.getframerate(), w.getnchannels()
            x = np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(float) / 32768
    x = x[::channels]
    # Band-limited resampling in the frequency domain.
    n = int(round(len(x) * rate / source))
    return np.fft.irfft(np.fft.rfft(x)[: n // 2 + 1], n) * n / len(x)


def lpc_formants(frame, rate, order=10):
    """F1, F2 of one frame: autocorrelation LPC, roots narrower than 500 Hz."""
    frame = np.append(frame[0], frame[1:] - 0.969 * frame[:-1]) * np.hamming(len(frame))
    r = np.correlate(frame, frame, "full")[len(frame) - 1: len(frame) + order]
    a = np.array([1.0])
    err = r[0]
    for i in range(1, order + 1):  # Levinson-Durbin
        k = -(r[i] + np.dot(a[1:], r[i - 1:0:-1])) / err
        a = np.append(a, 0.0) + k * np.append(a, 0.0)[::-1]
        err *= 1 - k * k
    roots = [z for z in np.roots(a) if z.imag > 0]
    hertz = [(np.angle(z) * rate / (2 * np.pi), -np.log(abs(z)) * rate / np.pi) for z in roots]
    found = sorted(f for f, bandwidth in hertz if bandwidth < 500 and f > 90)
    return found[:2] if len(found) >= 2 else [np.nan, np.nan]


def formants_around(x, rate, centre):
    """Median F1/F2 of five 25 ms frames centred within 10 ms of the sample centre."""
    half = int(0.0125 * rate)
    frames = [lpc_formants(x[int(c) - half: int(c) + half], rate)
              for c in centre + np.linspace(-0.01, 0.01, 5) * rate]
    return tuple(np.nanmedian(np.array(frames), axis=0))
