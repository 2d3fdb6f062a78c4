"""Streamed recordings and the closing speech: invented bulletins spoken by espeak-ng
voices, coloured like broadcasts (band limits, hiss, rooms, telephone lines), some over a
drone, normalised and encoded to mono Ogg Vorbis at 44100 Hz."""

import os
import subprocess
import sys
import tempfile
import wave
from multiprocessing import Pool

import numpy as np
from scipy import signal

import common as c
import newsroom as nr

RATE = 44100
COUNT = 34
# Loudness of every recording: about -25 dBFS RMS with peaks held under 0.45, so that
# 24 summed streams through the game's gain of one third and soft saturation stay clear
# of hard limiting.
TARGET_RMS = 0.056
PEAK_LIMIT = 0.45

VOICES = ["en-gb", "en-us", "en-gb-scotland", "en-gb-x-rp", "en-gb-x-gbcwmd", "en-029",
          "en-gb-x-gbclan"]
VARIANTS = ["m1", "m2", "m3", "m4", "m5", "m6", "m7", "f1", "f2", "f3", "f4", "f5",
            "croak", "klatt", "klatt2", "klatt3", "whisper", "grandpa", "aunty", "edward",
            "paul", "linda", "steph", "robert", "david", "max"]
COLOURS = ["studio", "phone", "field", "radio", "studio", "radio"]


def speak(text, voice, speed, pitch, amp=120):
    """espeak-ng to a float array at 44100 Hz."""
    with tempfile.NamedTemporaryFile(suffix=".wav") as tmp:
        subprocess.run(["espeak-ng", "-v", voice, "-s", str(speed), "-p", str(pitch),
                        "-a", str(amp), "-w", tmp.name, text], check=True)
        with wave.open(tmp.name, "rb") as w:
            rate = w.getframerate()
            x = np.frombuffer(w.readframes(w.getnframes()), np.int16).astype(np.float32) / 32768
    if rate != RATE:
        g = np.gcd(rate, RATE)
        x = signal.resample_poly(x, RATE // g, rate // g).astype(np.float32)
    return x


def bandpass(x, lo, hi, order=4):
    sos = signal.butter(order, [lo, hi], btype="bandpass", fs=RATE, output="sos")
    return signal.sosfilt(sos, x).astype(np.float32)


def highpass(x, f, order=2):
    sos = signal.butter(order, f, btype="highpass", fs=RATE, output="sos")
    return signal.sosfilt(sos, x).astype(np.float32)


def lowpass(x, f, order=2):
    sos = signal.butter(order, f, btype="lowpass", fs=RATE, output="sos")
    return signal.sosfilt(sos, x).astype(np.float32)


def room(x, r, seconds, wet):
    """A small room: convolution with exponentially decaying filtered noise."""
    n = int(seconds * RATE)
    t = np.arange(n) / RATE
    ir = r.standard_normal(n).astype(np.float32) * np.exp(-t * 6.9 / seconds).astype(np.float32)
    ir = lowpass(ir, 5000)
    ir /= np.sqrt(np.sum(ir * ir)) + 1e-9
    return ((1 - wet) * x + wet * signal.fftconvolve(x, ir)[: len(x)]).astype(np.float32)


def drone(r, n):
    """A low sustained tone: detuned partials beating slowly, or a faint test tone."""
    t = np.arange(n) / RATE
    kind = r.integers(3)
    if kind == 0:
        f0 = r.uniform(48, 80)
        x = sum((0.6 / k) * np.sin(2 * np.pi * f0 * k * (1 + r.uniform(-0.002, 0.002)) * t
                                   + r.uniform(0, 6.28)) for k in range(1, 6))
    elif kind == 1:
        f0 = r.uniform(90, 160)
        x = np.sin(2 * np.pi * f0 * t) + np.sin(2 * np.pi * (f0 * 1.5 + 0.3) * t) * 0.5
        x *= 0.6 + 0.4 * np.sin(2 * np.pi * r.uniform(0.05, 0.2) * t)
    else:
        noise = r.standard_normal(n).astype(np.float32)
        f0 = r.uniform(60, 110)
        x = bandpass(noise, f0 * 0.9, f0 * 1.1, 2) * 8 + 0.3 * np.sin(2 * np.pi * f0 * t)
    return (x / (np.max(np.abs(x)) + 1e-9)).astype(np.float32)


def shutter_clicks(r, n):
    """Bursts of camera shutters, as outside a doorstep."""
    out = np.zeros(n, np.float32)
    for _ in range(int(n / RATE * r.uniform(0.3, 1.2))):
        at = int(r.uniform(0, n - RATE))
        for k in range(r.integers(1, 6)):
            p = at + int(k * r.uniform(0.08, 0.25) * RATE)
            m = int(0.012 * RATE)
            click = r.standard_normal(m).astype(np.float32) * np.exp(-np.arange(m) / (m / 5))
            out[p:p + m] += click * r.uniform(0.3, 0.8)
    return highpass(out, 1500)


def script(r, seconds):
    """Sentences for one bulletin: an opener, reports, some studio chatter."""
    lines = [nr.SPOKEN_OPENERS[r.integers(len(nr.SPOKEN_OPENERS))]]
    est = 3.0
    while est < seconds * 1.3:
        if r.uniform() < 0.2:
            s = nr.STUDIO_CHATTER[r.integers(len(nr.STUDIO_CHATTER))]
        else:
            s = nr.fill(nr.SPOKEN_LINES[r.integers(len(nr.SPOKEN_LINES))], r)
        lines.append(s)
        est += len(s) / 14.0 + 0.6
    return lines


def voice_of(r):
    return "%s+%s" % (VOICES[r.integers(len(VOICES))], VARIANTS[r.integers(len(VARIANTS))])


def normalise(x):
    rms = np.sqrt(np.mean(x * x)) + 1e-9
    x = x * (TARGET_RMS / rms)
    peak = np.max(np.abs(x))
    if peak > PEAK_LIMIT:
        # Gentle saturation above 0.3 keeps the level but rounds the few loud peaks.
        k = 0.3
        over = np.abs(x) > k
        y = np.sign(x) * (k + (PEAK_LIMIT - k) * np.tanh((np.abs(x) - k) / (PEAK_LIMIT - k)))
        x = np.where(over, y, x)
    return x.astype(np.float32)


def encode(x, path, serial):
    """16-bit PCM to oggenc with a fixed stream serial, so reruns give the same bytes."""
    pcm = (np.clip(x, -1, 1) * 32767).astype("<i2").tobytes()
    with tempfile.NamedTemporaryFile(suffix=".wav") as tmp:
        with wave.open(tmp.name, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(pcm)
        subprocess.run(["oggenc", "-Q", "-q", "0", "--serial", str(serial), "-o", path, tmp.name],
                       check=True)


def bulletin(index):
    r = c.rng(5000 + index)
    seconds = float(r.uniform(22, 52))
    colour = COLOURS[index % len(COLOURS)]
    anchor = (voice_of(r), int(r.integers(120, 185)), int(r.integers(15, 80)))
    reporter = (voice_of(r), int(r.integers(130, 200)), int(r.integers(20, 90)))
    parts = []
    for k, line in enumerate(script(r, seconds)):
        v = anchor if k == 0 or r.uniform() < 0.55 else reporter
        parts.append(speak(line, *v))
        parts.append(np.zeros(int(r.uniform(0.25, 0.9) * RATE), np.float32))
    speech = np.concatenate(parts)
    n = int(seconds * RATE)
    if len(speech) < n:
        speech = np.concatenate([speech, np.zeros(n - len(speech), np.float32)])
    speech = speech[:n]

    if colour == "phone":
        speech = bandpass(speech, 320, 3300, 6)
        speech = np.tanh(speech * 3.0) / 3.0
    elif colour == "field":
        speech = room(bandpass(speech, 150, 5500), r, r.uniform(0.4, 0.8), 0.3)
    elif colour == "radio":
        speech = bandpass(speech, 220, 4500, 4)
        t = np.arange(n) / RATE
        speech *= (1 + 0.08 * np.sin(2 * np.pi * r.uniform(0.2, 0.7) * t)).astype(np.float32)
    else:
        speech = room(bandpass(speech, 100, 7500, 2), r, r.uniform(0.15, 0.35), 0.15)
    speech /= np.sqrt(np.mean(speech * speech)) + 1e-9

    mix = speech.copy()
    hiss = highpass(r.standard_normal(n).astype(np.float32), 2500)
    mix += hiss * r.uniform(0.01, 0.04)
    if colour == "field" or r.uniform() < 0.25:
        # A babble of other voices far behind, and the shutters of a press pack.
        babble = speak(nr.fill(nr.SPOKEN_LINES[r.integers(len(nr.SPOKEN_LINES))], r)
                       + " " + nr.fill(nr.SPOKEN_LINES[r.integers(len(nr.SPOKEN_LINES))], r),
                       voice_of(r), 170, int(r.integers(20, 80)))
        babble = np.tile(babble, n // len(babble) + 1)[:n]
        mix += room(lowpass(babble, 2500), r, 0.6, 0.6) * 0.25 / (np.std(babble) + 1e-9)
        mix += shutter_clicks(r, n) * 0.8
    if index % 5 in (1, 3):
        mix += drone(r, n) * r.uniform(0.35, 0.7)
    # Short fades so a file never starts or ends on a click.
    fade = int(0.05 * RATE)
    mix[:fade] *= np.linspace(0, 1, fade, dtype=np.float32)
    mix[-fade:] *= np.linspace(1, 0, fade, dtype=np.float32)
    out = os.path.join(c.DATA, "sounds", "bulletin%02d.ogg" % index)
    encode(normalise(mix), out, 7000 + index)
    return out


def final_speech():
    r = c.rng(6001)
    x = speak(nr.FINAL_SPEECH, "en-gb-x-rp+m3", 105, 12, 140)
    x = room(bandpass(x, 70, 6000, 2), r, 1.2, 0.35)
    x = np.concatenate([np.zeros(int(0.3 * RATE), np.float32), x,
                        np.zeros(int(1.0 * RATE), np.float32)])
    x = normalise(x) * 2.0  # a solo voice, played over the mix: a little louder
    other = os.path.join(c.DATA, "otherSounds")
    c.ensure_dir(other)
    encode(x, os.path.join(other, "finalSpeech-forward.ogg"), 8001)
    encode(x[::-1].copy(), os.path.join(other, "finalSpeech.ogg"), 8002)
    return len(x) / RATE


def main():
    c.ensure_dir(os.path.join(c.DATA, "sounds"))
    for name in os.listdir(os.path.join(c.DATA, "sounds")):
        os.remove(os.path.join(c.DATA, "sounds", name))
    jobs = int(os.environ.get("ASSET_JOBS", "2"))
    with Pool(jobs) as pool:
        for out in pool.imap(bulletin, range(COUNT)):
            print("  " + os.path.relpath(out, c.ROOT), flush=True)
    print("  final speech: %.1f s" % final_speech())


if __name__ == "__main__":
    sys.exit(main())
