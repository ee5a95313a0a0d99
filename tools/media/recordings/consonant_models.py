"""The model consonants of symbols 21..44, as a teacher gives them: the consonant alone
(fricatives, nasals and approximants held about 0.4 s, plosives and affricates released with
nothing after them but their aspiration, or their voicing), then once in a syllable with ɑː.

Both are one formant-synthesis voice (formant_voice.py): an utterance is a list of segments whose
parameters are joined sample by sample, so that the voice runs on through a syllable without a
seam. Each symbol is (code, manner, voiced, place); the place gives the frication spectrum, the
burst and the formant locus the vowel starts from.
"""

import numpy as np

import formant_voice as fv

AA = (768.0, 1333.0, 2522.0)  # the syllable's vowel: Hillenbrand's hod, as symbol 8
NEUTRAL = (500.0, 1500.0, 2500.0)

# Formants at the consonant (F1 F2 F3): where a vowel's transitions start from.
LOCUS = {
    "labial": (300, 950, 2250), "labiodental": (320, 1100, 2350), "dental": (330, 1450, 2550),
    "alveolar": (320, 1700, 2650), "postalveolar": (320, 1900, 2450), "velar": (320, 1650, 1950),
    "glottal": AA, "palatal": (280, 2200, 3000), "lateral": (360, 1050, 2700),
    "retroflex": (360, 1150, 1550), "labiovelar": (300, 700, 2200),
}

# Frication: (centre, bandwidth, gain) bands and a high-pass corner, per place.
FRICATION = {
    "labial": ([(1200, 1800, 1.0)], 300), "labiodental": ([(1800, 4000, 0.6), (6000, 5000, 0.8)],
                                                          900),
    "dental": ([(2200, 4500, 0.5), (6500, 5000, 0.7)], 1200),
    "alveolar": ([(5500, 1600, 1.0), (8000, 3000, 0.6)], 3200),
    "postalveolar": ([(2700, 700, 1.0), (4300, 1600, 0.6)], 1600),
    "velar": ([(1700, 500, 1.0), (3200, 1500, 0.3)], 700),
    "glottal": ([(1500, 3000, 0.3)], 400),
}

# code -> (manner, voiced, place). Manners: plosive, affricate, fricative, nasal, approximant.
CONSONANTS = {
    "p": ("plosive", False, "labial"), "t": ("plosive", False, "alveolar"),
    "k": ("plosive", False, "velar"), "f": ("fricative", False, "labiodental"),
    "W": ("fricative", False, "dental"), "s": ("fricative", False, "alveolar"),
    "F": ("fricative", False, "postalveolar"), "h": ("fricative", False, "glottal"),
    "tF": ("affricate", False, "postalveolar"), "b": ("plosive", True, "labial"),
    "d": ("plosive", True, "alveolar"), "g": ("plosive", True, "velar"),
    "v": ("fricative", True, "labiodental"), "T": ("fricative", True, "dental"),
    "z": ("fricative", True, "alveolar"), "V": ("fricative", True, "postalveolar"),
    "m": ("nasal", True, "labial"), "n": ("nasal", True, "alveolar"),
    "N": ("nasal", True, "velar"), "l": ("approximant", True, "lateral"),
    "r": ("approximant", True, "retroflex"), "j": ("approximant", True, "palatal"),
    "w": ("approximant", True, "labiovelar"), "dV": ("affricate", True, "postalveolar"),
}

# Nasal murmur: a low first resonance, the place in F2, and the mouth's branch damped.
NASAL = {"labial": (260, 1000, 2200), "alveolar": (260, 1500, 2500), "velar": (260, 1900, 2300)}
NASAL_BW = (110.0, 300.0, 400.0)

VOICE_STD = 11.4  # the tract output's RMS for an ɑː at av 0.9: the scale frication is set against
HOLD = 0.4  # seconds a continuant is held alone
VOWEL = 0.36  # seconds of ɑː in the syllable


class Plan:
    """Segments joined into per-sample parameter tracks."""

    def __init__(self):
        self.parts = []

    def add(self, seconds, formants, end_formants=None, av=0.0, ah=0.0, af=0.0,
            bandwidths=fv.BANDWIDTHS, av_end=None, ah_end=None, af_end=None):
        n = max(1, int(seconds * fv.RATE))
        w = fv._smooth(np.arange(n) / max(n - 1, 1))[:, None]
        a, b = np.array(formants, float), np.array(end_formants or formants, float)

        def ramp(x, y):
            y = x if y is None else y
            return x + (y - x) * w[:, 0]

        self.parts.append({"f": a * (1 - w) + b * w, "bw": np.tile(bandwidths, (n, 1)),
                           "av": ramp(av, av_end), "ah": ramp(ah, ah_end), "af": ramp(af, af_end)})
        return self

    def track(self, key):
        return np.concatenate([p[key] for p in self.parts])


def render(plan, place, seed, high=126.0, low=99.0):
    rng = np.random.default_rng(seed)
    formants, bws = plan.track("f"), plan.track("bw")
    av, ah, af = (np.convolve(plan.track(k), np.ones(88) / 88, "same") for k in ("av", "ah", "af"))
    n = len(av)
    f0 = fv.f0_contour(n, high, low)
    oq = 0.55 + 0.25 * np.clip(ah / 0.5, 0, 1)
    excitation, flow = fv.glottal_source(f0, rng, oq)
    pulse = flow / max(flow.max(), 1e-9)
    breath = fv.highpass(rng.normal(0.0, 1.0, n), 300.0)
    source = av * excitation + ah * breath * 9.0
    y = _tract(source, formants, bws)
    # Frication: its own noise, shaped by the place; voiced fricatives pulse it with the folds.
    bands, corner = FRICATION.get(place, FRICATION["glottal"])
    noise = rng.normal(0.0, 1.0, n) * np.where(av > 0.05, 0.55 + 0.45 * pulse, 1.0)
    fric = np.zeros(n)
    for centre, bw, gain in bands:
        fric += gain * fv.resonate(noise, np.full(n, float(centre)), np.full(n, float(bw))) * bw
    fric = fv.highpass(fric, corner)
    for _ in range(2):  # the lips and a microphone take the top off
        fric = fv.resonate(fric, np.zeros(n), np.full(n, 20000.0))
    fric /= max(np.std(fric), 1e-9)
    # Breath and frication fade out rather than stop on a sample, which would click.
    return (y * (0.25 / VOICE_STD) + af * fric * 0.25) * fv.envelope(n, 0.003, 0.03)


def _tract(x, formants, bws):
    n = len(x)
    y = x
    for i in range(3):
        y = fv.resonate(y, formants[:, i], bws[:, i])
    for f in fv.HIGHER:
        y = fv.resonate(y, np.full(n, f), np.full(n, 250.0 + 0.05 * f))
    return y + 1.5 * fv.highpass(y, 3000.0) + fv.HIGH_BYPASS * fv.highpass(
        fv.highpass(x, 5000.0), 5000.0)


# Loudness of frication relative to a vowel, by place: sibilants strong, f and θ weak.
FRIC_LEVEL = {"alveolar": 0.55, "postalveolar": 0.6, "labiodental": 0.25, "dental": 0.2,
              "glottal": 0.0, "velar": 0.5, "labial": 0.5}
BURST = {"labial": 0.5, "alveolar": 1.0, "velar": 0.9, "postalveolar": 0.9}


def _release(plan, manner, voiced, place, into, alone):
    """Burst, then aspiration (voiceless) or a breath of voicing (voiced)."""
    locus = LOCUS[place]
    # A closure alone would only be silence before the burst.
    closure = 0.07 if voiced or not alone else 0.005
    plan.add(closure, locus, av=0.18 if voiced else 0.0,
             bandwidths=(200.0, 300.0, 400.0))  # closure (voiced: a low murmur)
    plan.add(0.008, locus, af=BURST[place] * 1.6, ah=0.1)
    if manner == "affricate":
        plan.add(0.12 if not voiced else 0.09, locus, af=0.8, af_end=0.5,
                 av=0.25 if voiced else 0.0)
    if voiced:
        if alone:
            plan.add(0.03, locus, av=0.4, av_end=0.0)
        else:
            plan.add(0.015, locus, av=0.5, af=0.1)
    else:
        aspiration = 0.065 if manner == "plosive" else 0.02
        target = into or NEUTRAL
        plan.add(aspiration, locus, end_formants=target, ah=0.45, ah_end=0.25 if into else 0.0)


def _fric_level(voiced, place):
    # v and ð are mostly voice: their friction is faint beside the sibilants'.
    return FRIC_LEVEL[place] * (0.45 if voiced and place in ("labiodental", "dental") else 1.0)


def consonant_alone(code, seed):
    manner, voiced, place = CONSONANTS[code]
    plan = Plan()
    if manner in ("plosive", "affricate"):
        _release(plan, manner, voiced, place, None, True)
        plan.add(0.03, NEUTRAL)  # the tail of the breath dies away
        return render(plan, place, seed)
    if manner == "fricative":
        level = _fric_level(voiced, place)
        if place == "glottal":
            # English h: light friction at the glottis, the mouth already open for the vowel.
            plan.add(HOLD, AA, ah=0.55)
        else:
            plan.add(HOLD, LOCUS[place], af=level, av=0.45 if voiced else 0.0,
                     ah=0.0 if voiced else 0.03)
        return render(plan, place, seed)
    if manner == "nasal":
        plan.add(HOLD, NASAL[place], av=0.6, bandwidths=NASAL_BW)
        return render(plan, place, seed)
    plan.add(HOLD, LOCUS[place], av=0.75,
             bandwidths=(90.0, 110.0, 160.0) if place != "lateral" else (90.0, 200.0, 200.0))
    return render(plan, place, seed)


def syllable(code, seed):
    """The consonant once in a syllable with ɑː."""
    manner, voiced, place = CONSONANTS[code]
    locus = LOCUS[place]
    plan = Plan()
    if manner in ("plosive", "affricate"):
        _release(plan, manner, voiced, place, AA, False)
        plan.add(0.05, locus, end_formants=AA, av=0.8)
    elif manner == "fricative":
        if place == "glottal":
            plan.add(0.12, AA, ah=0.55)
            plan.add(0.04, AA, ah=0.55, ah_end=0.15, av=0.0, av_end=0.9)
        else:
            level = _fric_level(voiced, place)
            plan.add(0.16, locus, af=level, av=0.45 if voiced else 0.0)
            plan.add(0.05, locus, end_formants=AA, af=level * 0.5, af_end=0.0,
                     av=0.45 if voiced else 0.1, av_end=0.9)
    elif manner == "nasal":
        plan.add(0.12, NASAL[place], av=0.6, bandwidths=NASAL_BW)
        plan.add(0.05, locus, end_formants=AA, av=0.9)
    else:
        plan.add(0.11, locus, av=0.75)
        plan.add(0.09, locus, end_formants=AA, av=0.9)
    plan.add(VOWEL * 0.75, AA, av=0.9, ah=0.03)
    plan.add(VOWEL * 0.25, AA, av=0.9, av_end=0.0, ah=0.05, ah_end=0.3)
    return render(plan, place, seed)
