#!/usr/bin/env python3
"""Writes the shipped style library into styles/sources/ (one .style file
per style). Run from anywhere: python3 styles/tools/stylegen.py [FOLDER]

Channels: 1 keyboard, 2 guitar, 3 strings or pad, 4 colour (brass, lead,
flute), 9 bass, 10 drums. Patterns are written on C; see arrange.py."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from arrange import (I, INTERLUDE, INTRO, IV, LONG_END, SHORT_END, V7, Part, Recipe, i_, iv_, vi,
                     VI_)
from stylekit import Style, render

# General MIDI programs that the small default sound font plays well.
PIANO, EPIANO, ORGAN, ROCK_ORGAN, ACCORDION, HARMONICA = 0, 4, 16, 18, 21, 22
NYLON, STEEL, CLEAN, MUTED, OVERDRIVE = 24, 25, 27, 28, 29
AC_BASS, FINGER_BASS, PICK_BASS, FRETLESS, SYNTH_BASS = 32, 33, 34, 35, 38
STRINGS, SLOW_STRINGS, HARP, TRUMPET, TUBA, BRASS = 48, 49, 46, 56, 58, 61
ALTO_SAX, CLARINET, PICCOLO, FLUTE, PAN_FLUTE, WARM_PAD, KOTO, FIDDLE = 65, 71, 72, 73, 75, 89, 107, 110

STYLES = []

# Intros other than the plain I-vi-IV-V7; every one ends on the dominant.
ROCK_INTRO = {"major": [I, (10, "major"), IV, V7], "minor": [i_, (10, "major"), VI_, V7]}
PLAGAL_INTRO = {"major": [I, IV, I, V7], "minor": [i_, iv_, i_, V7]}
VAMP_INTRO = {"major": [(2, "min7"), V7, (2, "min7"), V7], "minor": [iv_, V7, iv_, V7]}
FALLING_INTRO = {"major": [vi, IV, I, V7], "minor": [VI_, iv_, i_, V7]}


def style(fn):
    STYLES.append(fn)
    return fn


# ---- drum grooves (16 slots a bar in 4/4) -------------------------------------

POP_DRUMS = {
    1: {"kick": "x.......x.x.....", "rim": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    2: {"kick": "x.......x.x.....", "snare": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    3: {"kick": ["x.....x.x.x.....", "x.....x.x.x.....", "x.....x.x.x.....", "x.....x.x.x...x."],
        "snare": ["....x.......x...", "....x.......x...", "....x.......x...", "....x.......x.gx"],
        "hat": ["X.x.x.x.X.x.x.x.", "X.x.x.x.X.x.x.x.", "X.x.x.x.X.x.x.x.", "X.x.x.x.X.x.x..."],
        "openhat": ["", "", "", "..............x."]},
    4: {"kick": "x.....x.x.x...x.", "snare": ["....x.......x...", "....x..g....x...", "....x.......x..g",
                                               "....x..g....x.xx"],
        "hat": "XxxxXxxxXxxxXxxx", "crash": ["x...............", "................", "................",
                                             "................"]},
}
POP_FILLS = {
    0: {"kick": "x.......x.......", "snare": "....x.......x.XX", "hat": "x.x.x.x.x.x....."},
    1: {"kick": "x.......x.....x.", "snare": "X.x.x.x.....g..X", "hightom": "........xx......",
        "midtom": "..........xx....", "lowtom": "............xx.."},
}
BALLAD_DRUMS = {
    1: {"kick": "x.......x.......", "rim": "....x.......x...", "shaker": "x.x.x.x.x.x.x.x."},
    2: {"kick": "x.......x.....x.", "rim": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    3: {"kick": "x.....x.x.......", "snare": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    4: {"kick": "x.....x.x.....x.", "snare": ["....x.......x...", "....x.......x...", "....x.......x...",
                                               "....x.......x.g."],
        "ride": "x.x.x.x.x.x.x.x.", "crash": ["x...............", "", "", ""]},
}
BALLAD_FILLS = {
    0: {"kick": "x.......x.......", "rim": "....x.......x...", "snare": "..............gx",
        "hat": "x.x.x.x.x.x....."},
    1: {"kick": "x.......x.......", "snare": "....x...g.g.X...", "hightom": "............x...",
        "midtom": ".............x..", "lowtom": "..............xx"},
}
ROCK_DRUMS = {
    1: {"kick": "x.......x.......", "snare": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    2: {"kick": "x.x.....x.x.....", "snare": "....x.......x...", "hat": "X.x.X.x.X.x.X.x."},
    3: {"kick": "x.x...x.x.x.....", "snare": "....X.......X...", "openhat": "X.x.X.x.X.x.X.x."},
    4: {"kick": "x.x...x.x.x...x.", "snare": ["....X.......X...", "....X.......X...", "....X.......X...",
                                               "....X.......X.XX"],
        "ride": "X.x.X.x.X.x.X.x.", "crash": ["x...............", "", "x...............", ""]},
}
ROCK_FILLS = {
    0: {"kick": "x.......x.......", "snare": "....X.......xxXX", "hat": "x.x.x.x.x.x....."},
    1: {"kick": "x...x...x...x...", "snare": "X.x.xx..........", "hightom": "......xx........",
        "midtom": "........xxx.....", "lowtom": "...........xxxX."},
}
DISCO_DRUMS = {
    1: {"kick": "x...x...x...x...", "hat": "..x...x...x...x.", "clap": "....x.......x..."},
    2: {"kick": "x...x...x...x...", "openhat": "..x...x...x...x.", "snare": "....x.......x...",
        "hat": "x...x...x...x..."},
    3: {"kick": "x...x...x...x...", "openhat": "..X...X...X...X.", "hat": "x.x.x.x.x.x.x.x.",
        "snare": "....x.......x...", "tambourine": "....x.......x..."},
    4: {"kick": "x...x...x...x...", "openhat": "..X...X...X...X.", "hat": "xxx.xxx.xxx.xxx.",
        "snare": ["....x.......x...", "....x.......x...", "....x.......x...", "....x.......x.gx"],
        "clap": "....x.......x...", "crash": ["x...............", "", "", ""]},
}
DISCO_FILLS = {
    0: {"kick": "x...x...x...x...", "snare": "....x.......xxxx", "openhat": "..x...x...x....."},
    1: {"kick": "x...x...x...x...", "snare": "x.x.x.x.xxxxXXXX", "crash": "................"},
}
BOSSA_DRUMS = {
    1: {"kick": "x..xx..xx..xx..x", "rim": "x..x..x...x..x..", "shaker": "xxxxxxxxxxxxxxxx"},
    2: {"kick": "x..xx..xx..xx..x", "rim": "x..x..x...x..x..", "hat": "x.x.x.x.x.x.x.x."},
    3: {"kick": "x..xx..xx..xx..x", "rim": ["x..x..x...x..x..", "..x..x...x..x..."],
        "hat": "xgxgxgxgxgxgxgxg", "pedalhat": "....x.......x..."},
    4: {"kick": "x..xx..xx..xx..x", "rim": ["x..x..x...x..x..", "..x..x...x..x..."],
        "ride": "x.xxx.xxx.xxx.xx", "shaker": "xxxxxxxxxxxxxxxx"},
}
BOSSA_FILLS = {
    0: {"kick": "x..xx..xx..x....", "rim": "x..x..x...x.x.xx", "shaker": "xxxxxxxxxxxx...."},
    1: {"kick": "x..xx..x........", "rim": "x..x............", "hightom": "........x.x.....",
        "midtom": "...........x.x..", "lowtom": "..............xx"},
}
# Swing grooves on 8 eighth slots; the off-beats are delayed into triplets.
SWING_DRUMS = {
    1: {"ride": "x.xxx.xx", "pedalhat": "..x...x.", "kick": "x.......", "rim": "........"},
    2: {"ride": "x.xxx.xx", "pedalhat": "..x...x.", "kick": "x...x...", "snare": "...g...g"},
    3: {"ride": "x.xXx.xX", "pedalhat": "..x...x.", "kick": "x...x...", "snare": [".g.x.g..", "...g.x.g"]},
    4: {"ride": "x.xXx.xX", "pedalhat": "..x...x.", "kick": "x..xx...",
        "snare": [".g.x.g.x", "...g.x.g", ".g.x.g.x", "..gxg.xX"], "crash": ["x.......", "", "", ""]},
}
SWING_FILLS = {
    0: {"ride": "x.xxx...", "kick": "x.......", "snare": "...g.xxX", "pedalhat": "..x....."},
    1: {"ride": "x.......", "kick": "x......x", "snare": "..x.xx..", "hightom": "......x.",
        "lowtom": ".......x"},
}
RNB_DRUMS = {
    1: {"kick": "x......x..x.....", "rim": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    2: {"kick": "x......x..x.....", "snare": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    3: {"kick": "x......x..x..x..", "snare": "....x..g....x..g", "hat": "XxxxXxxxXxxxXxxx"},
    4: {"kick": "x......x..x..x..", "snare": ["....x..g....x..g", "....x..g.g..x...", "....x..g....x..g",
                                               "....x..g....x.gx"],
        "hat": "XxxxXxxxXxxxXxox", "clap": "....x.......x...", "crash": ["x...............", "", "", ""]},
}
RNB_FILLS = {
    0: {"kick": "x......x..x.....", "snare": "....x..g....xgxx", "hat": "XxxxXxxxXxxx...."},
    1: {"kick": "x......x........", "snare": "....x..g..g.X...", "hightom": "........x.......",
        "midtom": ".............x..", "lowtom": "..............xX"},
}
COUNTRY_DRUMS = {
    1: {"kick": "x.......x.......", "rim": "....x.......x...", "shaker": "x.x.x.x.x.x.x.x."},
    2: {"kick": "x.......x.......", "snare": "....x.......x...", "hat": "x.x.x.x.x.x.x.x."},
    3: {"kick": "x.......x.......", "snare": "ggxgggxgggxgggxg", "hat": "x.x.x.x.x.x.x.x."},
    4: {"kick": "x.....x.x.......", "snare": "ggXgggXgggXgggXg", "hat": "x.x.x.x.x.x.x.x.",
        "tambourine": "....x.......x...", "crash": ["x...............", "", "", ""]},
}
COUNTRY_FILLS = {
    0: {"kick": "x.......x.......", "snare": "....x.......x.xx", "hat": "x.x.x.x.x.x....."},
    1: {"kick": "x.......x.......", "snare": "x.x.x.x.........", "hightom": "........xx......",
        "midtom": "..........xx....", "lowtom": "............xxxx"},
}


# ---- 4/4 -----------------------------------------------------------------------------

@style
def pop_8beat():
    st = Style(2001, "pop-8beat", "流行八拍 Pop 8-Beat", "4/4", 100,
               "明快的流行八拍：钢琴与电吉他伴奏，贝司跟根音，弦乐铺底。", [0, 3], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "C---C---", 2: "C.C.C-.C", 3: "X C C C X C C C", 4: "X C . C X C C ."},
            lo=60, n=3, vel=72),
        Part("chord", 2, CLEAN, "clean guitar", [2, 3, 4], {
            2: ". . . . C' . . . . . . . C' . . .", 3: "1 3 2 4 1 3 2 4", 4: "1 3 2 4 1 3 2 4"},
            lo=55, n=4, vel=64, legato=0.8),
        Part("bass", 9, FINGER_BASS, "bass", [1, 2, 3, 4], {
            1: "R---5---", 2: "R--R5-.-", 3: ["R.RR5.R5", "R.RR5.R5", "R.RR5.R5", "R.RR5.3a"],
            4: ["R.RR.RR.5.5R.R3.", "R.RR.RR.5.5R.R3.", "R.RR.RR.5.5R.R3.", "R.RR.RR.5.5.3.a."]},
            centre=36, vel=92, legato=0.85, fill={0: "R.R.5.5.R.3.5.a.", 1: "R-R-5-5-3-5-6-a-"}),
        Part("pad", 3, SLOW_STRINGS, "strings", [3, 4], {3: "C-------", 4: "C---H---"}, lo=64, n=3, vel=60),
    ]
    return Recipe(st, parts, POP_DRUMS, POP_FILLS).build(INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def soft_ballad():
    st = Style(2002, "soft-ballad", "抒情慢歌 Soft Ballad", "4/4", 72,
               "温柔的慢板抒情：钢琴分解和弦、无品贝司、慢弦乐与暖色铺底。", [0, 7], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "B 1 2 3 F 1 2 3", 2: "B 1 2 3 4 3 2 1", 3: "B 1 2 3 4 3 2 1",
            4: "B 1 2 3 4 3 2 1"}, lo=55, n=5, vel=66, legato=1.6),
        Part("bass", 9, FRETLESS, "fretless bass", [2, 3, 4], {
            2: "R-------", 3: ["R-----5-", "R-----5-", "R-----5-", "R---5-a-"], 4: "R--.R-5-"},
            vel=84),
        Part("pad", 3, SLOW_STRINGS, "slow strings", [2, 3, 4], {2: "C-------", 4: "C---H---"},
             lo=60, n=3, vel=54),
        Part("pad", 4, WARM_PAD, "warm pad", [3, 4], {3: "C-------"}, lo=48 + 7, n=3, vel=46),
        Part("chord", 2, NYLON, "nylon guitar", [4], {4: "1 2 3 4 5 4 3 2"}, lo=55, n=5, vel=52,
             legato=1.4),
    ]
    return Recipe(st, parts, BALLAD_DRUMS, BALLAD_FILLS, intro_drums={"shaker": "x.x.x.x.x.x.x.x."}).build(
        INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def rock():
    st = Style(2003, "rock", "摇滚 Rock", "4/4", 126,
               "有力的摇滚：失真吉他强力和弦、拨片贝司八分音符、摇滚风琴。", [2, 0], featured=True)
    parts = [
        Part("chord", 2, OVERDRIVE, "overdriven guitar", [1, 2, 3, 4], {
            1: "P-------", 2: "P'P'P'P'P'P'P'P'", 3: "P-.P.P-P", 4: "P.PPP.PP"}, lo=55, n=2, vel=84, legato=0.85,
            strum=3),
        Part("chord", 1, PIANO, "piano", [2, 3, 4], {2: "C---C---", 3: "C.C.C.C.", 4: "X C X C X C X C"},
             lo=60, n=3, vel=66),
        Part("bass", 9, PICK_BASS, "pick bass", [1, 2, 3, 4], {
            1: "R---R---", 2: "RRRRRRRR", 3: ["RRRRRRRR", "RRRRRRRR", "RRRRRRRR", "RRRR5555"],
            4: ["RRRRRRRR", "RRRRRRRR", "RRRRRRRR", "RRR5 5 3 a".replace(" ", "")]},
            vel=96, legato=0.8, fill={0: "RRRRRRRR", 1: "RRRR5 5 3 a".replace(" ", "")}),
        Part("line", 3, ROCK_ORGAN, "rock organ", [3, 4], {3: "5-------", 4: "5---3---"},
             centre=66, vel=58),
        Part("pad", 4, SLOW_STRINGS, "strings", [3, 4], {3: "C-------", 4: "C---H---"}, lo=60, n=3, vel=54),
    ]
    return Recipe(st, parts, ROCK_DRUMS, ROCK_FILLS).build(ROCK_INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def folk_strum():
    st = Style(2004, "folk-strum", "民谣弹唱 Folk Strum", "4/4", 96,
               "木吉他扫弦的民谣弹唱：原声贝司、钢琴点缀与弦乐。", [1, 0], featured=True)
    strum = "X . C c . c C c X . C c . c C c"
    parts = [
        Part("chord", 2, STEEL, "steel guitar", [1, 2, 3, 4], {
            1: "B . 1 . F . 2 . B . 3 . F . 2 .", 2: "B . C . . c C c B . C . . c C c",
            3: strum, 4: strum}, lo=55, n=5, vel=70, legato=0.9, strum=5),
        Part("bass", 9, AC_BASS, "acoustic bass", [2, 3, 4], {
            2: "R---5---", 3: ["R--R5---", "R--R5---", "R--R5---", "R--R5-a-"], 4: "R.-R5.35"},
            vel=88, legato=0.85),
        Part("chord", 1, PIANO, "piano", [3, 4], {3: "T-------", 4: "T---C---"}, lo=67, n=3, vel=56),
        Part("pad", 3, SLOW_STRINGS, "strings", [3, 4], {3: "C-------", 4: "C---H---"}, lo=60, n=3, vel=48),
    ]
    for p in parts:
        if p.name == "steel guitar":
            p.rhythm = {k: v.replace("c", "H~").replace("C", "C") for k, v in p.rhythm.items()}
    return Recipe(st, parts, POP_DRUMS, POP_FILLS, intro_drums={"shaker": "x.x.x.x.x.x.x.x."}).build(
        INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def disco():
    st = Style(2005, "disco", "迪斯科 Disco", "4/4", 120,
               "四拍底鼓的迪斯科舞曲：八度贝司、闷音吉他、电钢琴与铜管。", [3, 0], featured=True)
    parts = [
        Part("bass", 9, SYNTH_BASS, "synth bass", [1, 2, 3, 4], {
            1: "R.8.R.8.R.8.R.8.", 2: "R.8.R.8.R.8.R.8.", 3: "R.8.R.8.R.8.5.8.",
            4: ["R.8.R.8.R.8.5.8.", "R.8.R.8.R.8.5.8.", "R.8.R.8.R.8.5.8.", "R.8.R.8.5.8.3.a."]},
            vel=96, legato=0.7, fill={0: "R.8.R.8.R.8.5.a.", 1: "R.8.R.8.5.5.3.a."}),
        Part("chord", 2, MUTED, "muted guitar", [2, 3, 4], {2: ". . C' . . . C' . . . C' . . . C' .",
                                                        3: "C' C' . C' C' C' . C' C' C' . C' C' C' . C'"},
             lo=60, n=2, vel=66),
        Part("chord", 1, EPIANO, "electric piano", [1, 2, 3, 4], {
            1: "C---C---", 2: "..C-..C-", 3: "..C-..C-", 4: ".C.C.C.C"}, lo=60, n=3, vel=66),
        Part("pad", 3, SLOW_STRINGS, "strings", [3, 4], {3: "C-------", 4: ["C-------", "H-------"]},
             lo=67, n=3, vel=56),
        Part("chord", 4, BRASS, "brass", [4], {4: ["C'...C'.C'.", "C'..C'...", "C'...C'.C'.", "C'.C'.C-."]},
             lo=60, n=3, vel=70, fill={1: "C'...C'..C'.C'.X-."}),
    ]
    return Recipe(st, parts, DISCO_DRUMS, DISCO_FILLS).build(VAMP_INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def bossa_nova():
    st = Style(2006, "bossa-nova", "波萨诺瓦 Bossa Nova", "4/4", 132,
               "轻柔的巴西波萨诺瓦：尼龙吉他切分、原声贝司根五音、长笛。", [6, 4], featured=True)
    parts = [
        Part("chord", 2, NYLON, "nylon guitar", [1, 2, 3, 4], {
            1: "B - C - F C - C B - C - F C - -", 2: ["B - C - F C - C B - C - F C - -",
                                                      "B - C - F - C - B - C - F C - C"],
            3: ["B - C - F C - C B - C - F C - -", "B - C - F - C - B - C - F C - C"]},
            lo=55, n=4, vel=64, legato=0.8, colour=True, strum=3),
        Part("bass", 9, AC_BASS, "acoustic bass", [1, 2, 3, 4], {
            1: "R--5R--5", 2: "R--5R--5", 3: ["R--5R--5", "R--5R--5", "R--5R--5", "R--5R-a-"]},
            vel=86, legato=0.9),
        Part("chord", 1, EPIANO, "electric piano", [2, 3, 4], {2: "C-------", 3: "...C-...C-..", 4: "...C-...C-.."},
             lo=60, n=3, vel=54, colour=True),
        Part("line", 4, FLUTE, "flute", [3, 4], {3: "5-------3-------", 4: ["5---3---R---....", "3-5-8---5-------"]},
             centre=74, vel=62),
        Part("pad", 3, SLOW_STRINGS, "strings", [4], {4: "C-------"}, lo=60, n=3, vel=48),
    ]
    return Recipe(st, parts, BOSSA_DRUMS, BOSSA_FILLS, intro_drums={"rim": "x..x..x...x..x..",
                                                                      "shaker": "xxxxxxxxxxxxxxxx"}).build(
        {"major": [I, vi, (2, "min7"), V7], "minor": [i_, iv_, (2, "minor"), V7]}, INTERLUDE, SHORT_END, LONG_END)


@style
def swing():
    st = Style(2007, "swing", "摇摆 Swing Shuffle", "4/4", 132,
               "三连音律动的摇摆：行进贝司、钢琴查尔斯顿节奏、铜管组。", [4, 5], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "C--.C---", 2: "C..C....", 3: ["C..C....", "...C..C.", "C..C....", ".C...C.."],
            4: ["C..C....", "...C..C.", "C..C..C.", ".C..C..C"]},
            lo=55, n=4, vel=66, legato=0.7, colour=True),
        Part("bass", 9, AC_BASS, "walking bass", [1, 2, 3, 4], {
            1: "R---5---", 2: ["R-3-5-6-", "R-3-5-a-"], 3: ["R-3-5-6-", "8-6-5-3-", "R-2-3-5-", "R-5-3-a-"]},
            vel=88, legato=0.95, fill={0: "R-3-5-a-", 1: "R-3-5-6-".replace("6", "b7") if False else "R-3-5-a-"}),
        Part("chord", 4, BRASS, "brass section", [3, 4], {
            3: ["C'......", "......C-", "C'......", "..C'...."],
            4: ["C'..C'....", "...C-...", "C'...C-..", "......C'C'"]}, lo=60, n=3, vel=70,
            fill={1: "C'.C'.C'.X-"}),
        Part("chord", 2, CLEAN, "jazz guitar", [2, 3, 4], {2: "C'.C'.C'.C'.", 4: "C'.C'.C'.C'."}, lo=55, n=3,
             vel=54),
        Part("pad", 3, SLOW_STRINGS, "strings", [4], {4: "C-------"}, lo=64, n=3, vel=46),
    ]
    for p in parts:
        p.rhythm = {k: ([norm(x) for x in v] if isinstance(v, list) else norm(v)) for k, v in p.rhythm.items()}
        if p.fill:
            p.fill = {k: norm(v) for k, v in p.fill.items()}
    return Recipe(st, parts, SWING_DRUMS, SWING_FILLS, swing=32).build(
        {"major": [I, vi, (2, "min7"), V7], "minor": [i_, iv_, (2, "minor"), V7]}, INTERLUDE, SHORT_END, LONG_END)


def norm(pattern):
    """Pads or trims an eighth-note string to 8 slots (swing needs eighths);
    a mark belongs to the word before it."""
    toks = []
    for c in pattern.replace(" ", ""):
        if c in "'>~" and toks:
            toks[-1] += c
        else:
            toks.append(c)
    toks = (toks + ["."] * 8)[:8]
    return " ".join(toks)


@style
def rnb_soul():
    st = Style(2008, "rnb-soul", "节奏布鲁斯 R&B Soul", "4/4", 84,
               "十六分律动的R&B灵魂乐：电钢琴七和弦、切音吉他、弦乐与铜管点缀。", [0, 5, 11], featured=True)
    parts = [
        Part("chord", 1, EPIANO, "electric piano", [1, 2, 3, 4], {
            1: "C-------", 2: "C-----.C-------.", 3: ["C-----.C----C-..", "C-----.C-------."],
            4: ["C-----.C----C-..", "C-----.C--C----."]}, lo=55, n=4, vel=62, colour=True),
        Part("bass", 9, FINGER_BASS, "finger bass", [1, 2, 3, 4], {
            1: "R-------R-----5-", 2: "R------R..R...5.", 3: ["R------R..R..5.a", "R-----.R..5.R..."],
            4: ["R------R..R..5.a", "R-----.R..5.R..3", "R------R..R..5.a", "R-----.R..5.3.a."]},
            vel=88, legato=0.85),
        Part("chord", 2, CLEAN, "clean guitar", [2, 3, 4], {2: "....H'.......H'..", 3: "....H'..H'...H'..H'."},
             lo=60, n=3, vel=58),
        Part("pad", 3, SLOW_STRINGS, "strings", [3, 4], {3: "C-------", 4: "C---H---"}, lo=64, n=3, vel=50),
        Part("chord", 4, BRASS, "brass", [4], {4: ["C'......", "....C'.C'.", "C'......", "..C'.C'C-."]},
             lo=60, n=3, vel=64),
    ]
    for p in parts:
        p.rhythm = {k: ([fix16(x) for x in v] if isinstance(v, list) else fix16(v)) for k, v in p.rhythm.items()}
    return Recipe(st, parts, RNB_DRUMS, RNB_FILLS, intro_drums={"hat": "x.x.x.x.x.x.x.x.",
                                                                "rim": "....x.......x..."}).build(
        {"major": [I, vi, (2, "min7"), V7], "minor": [i_, iv_, (2, "minor"), V7]}, INTERLUDE, SHORT_END, LONG_END)


def fix16(pattern):
    """Tokenises a compact string (marks stay with their word) into slots."""
    toks = []
    for c in pattern.replace(" ", ""):
        if c in "'>~" and toks:
            toks[-1] += c
        else:
            toks.append(c)
    return " ".join(toks)


@style
def country():
    st = Style(2009, "country", "乡村 Country", "4/4", 112,
               "乡村两拍律动：钢弦吉他低音交替扫弦、贝司根五交替、小提琴与钢琴。", [1, 10, 0], featured=True)
    parts = [
        Part("chord", 2, STEEL, "steel guitar", [1, 2, 3, 4], {
            1: "B.C.F.C.", 2: "B.C.F.C.", 3: "B.CcF.Cc", 4: "B.CcF.Cc"}, lo=55, n=4, vel=66, legato=0.6,
            strum=4),
        Part("bass", 9, AC_BASS, "bass", [1, 2, 3, 4], {
            1: "R---5---", 2: "R-.-5_-.-", 3: ["R-5_-R-5_-", "R-5_-R-5_-", "R-5_-R-5_-", "R-5_-3-a-"]},
            vel=90, legato=0.8),
        Part("chord", 1, PIANO, "piano", [2, 3, 4], {2: ".C.C.C.C", 3: ".C.C.CCC", 4: ".C.C.CCC"},
             lo=60, n=3, vel=58, legato=0.6),
        Part("line", 4, FIDDLE, "fiddle", [3, 4], {3: ["5-------", "3-------", "5---6---", "5-------"],
                                                   4: ["5-3-5-8-", "6-5-3-5-", "5-3-R-3-", "5---3---"]},
             centre=72, vel=60),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
        if p.name == "steel guitar":
            p.rhythm = {k: v.replace("c", "H~") for k, v in p.rhythm.items()}
    return Recipe(st, parts, COUNTRY_DRUMS, COUNTRY_FILLS).build(PLAGAL_INTRO, INTERLUDE, SHORT_END, LONG_END)


def tok_words(pattern):
    """Like fix16, but '5_' and 'b7' stay single words."""
    toks = []
    s = pattern.replace(" ", "")
    i = 0
    while i < len(s):
        c = s[i]
        if c in "'>~_" and toks:
            toks[-1] += c
        else:
            toks.append(c)
        i += 1
    return " ".join(toks)


# Under a minor chord the five-note scale is root, minor third, fourth,
# fifth and minor seventh: the major scale's second and sixth move up.
PENTATONIC_MINOR = {"2": "4", "6": "7"}


@style
def chinese_ballad():
    st = Style(2010, "chinese-ballad", "中国风抒情 Chinese Ballad", "4/4", 76,
               "中国风流行抒情：钢琴、古筝五声音阶分解、弦乐与竹笛风长笛。", [0, 9], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "B 1 2 3 F 2 3 4", 2: "B 1 2 3 F 2 3 4", 3: "B 1 2 3 4 3 2 1", 4: "B 1 2 3 4 3 2 1"},
            lo=55, n=5, vel=64, legato=1.5),
        Part("bass", 9, FINGER_BASS, "bass", [2, 3, 4], {2: "R-------", 3: ["R-----5-", "R---5---"], 4: "R--R5-.-"},
             vel=84),
        Part("line", 2, KOTO, "koto", [2, 3, 4], {
            2: ["R---....5-6-8-6-", "5-3-2-R-R-------"],
            3: ["R 2 3 5 6 5 3 2 R 2 3 5 6 8 6 5", "8 6 5 3 5 3 2 R 2 R 6 5 R . . ."],
            4: ["R 2 3 5 6 5 3 2 R 2 3 5 6 8 6 5", "8 6 5 3 5 3 2 R 2 R 6 5 R . . ."]},
            centre=72, vel=58, legato=0.8, minor_words=PENTATONIC_MINOR),
        Part("pad", 3, SLOW_STRINGS, "strings", [3, 4], {3: "C-------", 4: "C---H---"}, lo=60, n=3, vel=52),
        Part("line", 4, FLUTE, "flute", [4], {4: ["5-------", "6---5---", "3-------", "2---R---"]}, centre=76,
             minor_words=PENTATONIC_MINOR,
             vel=58),
    ]
    for p in parts:
        if p.name == "koto":
            p.rhythm = {k: [tok_words(x) for x in v] for k, v in p.rhythm.items()}
    return Recipe(st, parts, BALLAD_DRUMS, BALLAD_FILLS, intro_drums={"shaker": "x...x...x...x..."}).build(
        FALLING_INTRO, INTERLUDE, SHORT_END, LONG_END)


# ---- 3/4 (12 sixteenth slots a bar) -----------------------------------------------------

WALTZ_DRUMS = {
    1: {"kick": "x...........", "pedalhat": "....x...x..."},
    2: {"kick": "x...........", "rim": "....x...x...", "hat": "x...x...x..."},
    3: {"kick": "x...........", "snare": "....x...x...", "hat": "x.x.x.x.x.x."},
    4: {"kick": ["x...........", "x.......x..."], "snare": "....x...x...", "ride": "x.x.x.x.x.x.",
        "crash": ["x...........", "", "", ""]},
}
WALTZ_FILLS = {
    0: {"kick": "x...........", "snare": "....x...x.xx", "hat": "x...x......."},
    1: {"kick": "x...........", "snare": "x.x.x.......", "hightom": "......x.....", "midtom": "........x...",
        "lowtom": "..........xX"},
}
BALLAD34_DRUMS = {
    1: {"shaker": "x.x.x.x.x.x."},
    2: {"kick": "x...........", "rim": "........x...", "shaker": "x.x.x.x.x.x."},
    3: {"kick": "x.......x...", "rim": "....x...x...", "hat": "x.x.x.x.x.x."},
    4: {"kick": "x.......x...", "snare": "........x...", "ride": "x.x.x.x.x.x.", "crash": ["x...........", "", "", ""]},
}
BALLAD34_FILLS = {
    0: {"kick": "x...........", "rim": "....x...x.x.", "shaker": "x.x.x.x....."},
    1: {"kick": "x...........", "snare": "....g.g.X...", "hightom": "..........x.", "lowtom": "...........x"},
}


@style
def waltz():
    st = Style(2101, "waltz", "圆舞曲 Waltz", "3/4", 156,
               "经典圆舞曲：低音在第一拍，钢琴与弦乐在二三拍，长笛与竖琴点缀。", [8, 7], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "B.C.C.", 2: "B.C.C.", 3: ["B.C.C.", "F.C.C."], 4: ["B.C.CC", "F.C.C."]}, lo=60, n=3, vel=62,
            legato=0.7),
        Part("bass", 9, AC_BASS, "bass", [1, 2, 3, 4], {1: "R-----", 3: ["R-----", "R---5-"],
                                                        4: ["R-----", "R---5-", "R-----", "R---a-"]},
             vel=88, legato=0.8),
        Part("pad", 3, SLOW_STRINGS, "strings", [2, 3, 4], {2: "..C.C.", 3: "..C-C-", 4: "C-----"}, lo=64, n=3, vel=56),
        Part("line", 4, FLUTE, "flute", [3, 4], {3: ["5-----", "3---2-", "R-----", "3-----"],
                                                 4: ["5-3-5-", "8-----", "6-5-3-", "5-----"]}, centre=76, vel=60),
        Part("chord", 2, HARP, "harp", [4], {4: "1 2 3 4 3 2"}, lo=55, n=4, vel=50, legato=1.5),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
    return Recipe(st, parts, WALTZ_DRUMS, WALTZ_FILLS).build(PLAGAL_INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def ballad_34():
    st = Style(2102, "ballad-34", "三拍抒情 3/4 Ballad", "3/4", 78,
               "慢三拍抒情：钢琴八分分解和弦、尼龙吉他、弦乐铺底。", [0, 8], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "B 1 2 3 2 1", 2: "B 1 2 3 4 3", 3: "B 1 2 3 4 3", 4: ["B 1 2 3 4 5", "F 2 3 4 3 2"]},
            lo=55, n=5, vel=56, legato=1.5),
        Part("bass", 9, FINGER_BASS, "bass", [2, 3, 4], {2: "R-----", 3: ["R---5-", "R-----"],
                                                         4: ["R---5-", "R---5-", "R---5-", "R-5-a-"]}, vel=82),
        Part("chord", 2, NYLON, "nylon guitar", [3, 4], {3: ". . H . H .", 4: ". . H . H H"}, lo=55, n=4, vel=50),
        Part("pad", 3, SLOW_STRINGS, "strings", [2, 3, 4], {2: "C-----", 4: ["C-----", "H-----"]}, lo=60, n=3,
             vel=50),
        Part("pad", 4, WARM_PAD, "pad", [4], {4: "C-----"}, lo=55, n=3, vel=42),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
    return Recipe(st, parts, BALLAD34_DRUMS, BALLAD34_FILLS).build(INTRO, INTERLUDE, SHORT_END, LONG_END)


# ---- 2/4 (8 sixteenth slots a bar) ------------------------------------------------------

MARCH_DRUMS = {
    1: {"kick": "x...x...", "snare": "..x...x."},
    2: {"kick": "x...x...", "snare": "..x.xgx.", "crash": "........"},
    3: {"kick": "x...x...", "snare": ["x.xgx.x.", "x.xgxxx."], "ride": "x...x..."},
    4: {"kick": "x...x...", "snare": ["X.xgx.xg", "x.xgXxxx"], "crash": ["x.......", "........", "........",
                                                                         "........"], "ride": "x.x.x.x."},
}
MARCH_FILLS = {
    0: {"kick": "x.......", "snare": "x.xgxxXX"},
    1: {"kick": "x...x...", "snare": "XxxxxxxX", "crash": "........"},
}
POLKA_DRUMS = {
    1: {"kick": "x...x...", "hat": "..x...x."},
    2: {"kick": "x...x...", "snare": "..x...x.", "hat": "x.x.x.x."},
    3: {"kick": "x...x...", "snare": "..x...x.", "hat": "xxxxxxxx"},
    4: {"kick": "x...x...", "snare": "..x..gx.", "hat": "xxxxxxxx", "crash": ["x.......", "", "", ""]},
}
POLKA_FILLS = {
    0: {"kick": "x...x...", "snare": "..x.xxXX"},
    1: {"kick": "x.......", "snare": "x.x.xxxx", "hightom": "....x...", "lowtom": "......xX"},
}


@style
def march():
    st = Style(2201, "march", "进行曲 March", "2/4", 116,
               "二拍子进行曲：大号低音、铜管和弦、军鼓滚奏与短笛点缀。", [7, 9], featured=True)
    parts = [
        Part("bass", 9, TUBA, "tuba", [1, 2, 3, 4], {1: "R---5_---", 3: ["R---5_---", "R---5---", "R---5_---", "R---5-a-"]},
             vel=88, legato=0.7),
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {1: "..C'...C'.", 2: "..C'...C'.", 4: "..C'.C'.C'.C'"},
             lo=60, n=3, vel=62),
        Part("chord", 4, BRASS, "brass", [2, 3, 4], {2: "..C'...C'.", 3: ["..C'...C'.", "C---C'.C'."],
                                                     4: ["..C'...C'.", "C---C'.C'.", "..C'...C'.", "C-C-C-C-"]},
             lo=60, n=3, vel=70),
        Part("pad", 3, SLOW_STRINGS, "strings", [3, 4], {3: "C-------"}, lo=64, n=3, vel=52),
        Part("line", 2, PICCOLO, "piccolo", [4], {4: ["5-3-5-8-", "6-5-3-5-", "8-6-5-3-", "5---R---"]}, centre=84,
             vel=58),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
    return Recipe(st, parts, MARCH_DRUMS, MARCH_FILLS).build(PLAGAL_INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def polka():
    st = Style(2202, "polka", "波尔卡 Polka", "2/4", 126,
               "欢快的波尔卡：贝司一五交替、手风琴后半拍和弦、单簧管旋律点缀。", [3, 1], featured=True)
    parts = [
        Part("bass", 9, AC_BASS, "bass", [1, 2, 3, 4], {1: "R-5_-", 3: ["R-5_-", "R-5-", "R-5_-", "R-a-"]}, vel=90,
             legato=0.7),
        Part("chord", 1, ACCORDION, "accordion", [1, 2, 3, 4], {1: ".C'.C'", 3: ".C'.C'", 4: ".C'CC'"},
             lo=60, n=3, vel=66),
        Part("chord", 2, STEEL, "guitar", [2, 3, 4], {2: ". C' . C'", 4: ". C' C' C'"}, lo=55, n=4, vel=56,
             strum=3),
        Part("line", 4, CLARINET, "clarinet", [3, 4], {3: ["5-3-", "R---", "3-5-", "8---"],
                                                       4: ["5353", "R-3-", "5 6 5 3", "8---"]}, centre=72,
             vel=60),
        Part("pad", 3, SLOW_STRINGS, "strings", [4], {4: "C---"}, lo=64, n=3, vel=48),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
    return Recipe(st, parts, POLKA_DRUMS, POLKA_FILLS).build(INTRO, INTERLUDE, SHORT_END, LONG_END)


# ---- 6/8 (6 eighth slots or 12 sixteenths a bar) -------------------------------------------

BALLAD68_DRUMS = {
    1: {"kick": "x.....", "rim": "...x..", "shaker": "xxxxxx"},
    2: {"kick": "x.....", "rim": "...x..", "hat": "xxxxxx"},
    3: {"kick": "x....x", "snare": "...x..", "hat": "xxxxxx"},
    4: {"kick": "x....x", "snare": ["...x..", "...x..", "...x..", "...xgx"], "ride": "xxxxxx",
        "crash": ["x.....", "", "", ""]},
}
BALLAD68_FILLS = {
    0: {"kick": "x.....", "snare": "...xgx", "hat": "xxx..."},
    1: {"kick": "x.....", "snare": "..x...", "hightom": "...x..", "midtom": "....x.", "lowtom": ".....x"},
}
JIG_DRUMS = {
    1: {"kick": "x..x..", "shaker": "xxxxxx"},
    2: {"kick": "x..x..", "rim": "..x..x", "tambourine": "x..x.."},
    3: {"kick": "x..x..", "snare": "...x..", "hat": "xxxxxx", "tambourine": "x..x.."},
    4: {"kick": "x..x..", "snare": ["...x..", "...x.g", "...x..", "...xgx"], "hat": "xgxxgx",
        "tambourine": "xxxxxx", "crash": ["x.....", "", "", ""]},
}
JIG_FILLS = {
    0: {"kick": "x..x..", "snare": "...xxx", "tambourine": "x..x.."},
    1: {"kick": "x.....", "snare": "xgx...", "hightom": "...x..", "midtom": "....x.", "lowtom": ".....x"},
}


@style
def ballad_68():
    st = Style(2301, "ballad-68", "六八抒情 6/8 Ballad", "6/8", 84,
               "6/8拍慢抒情：钢琴三连分解、尼龙吉他、弦乐长音与轻鼓。", [0, 7], featured=True)
    parts = [
        Part("chord", 1, PIANO, "piano", [1, 2, 3, 4], {
            1: "B 1 2 F 2 3", 2: "B 1 2 F 2 3", 3: "B 1 2 3 2 1", 4: ["B 1 2 3 2 1", "F 2 3 4 3 2"]},
            lo=55, n=4, vel=58, legato=1.5),
        Part("bass", 9, FINGER_BASS, "bass", [2, 3, 4], {2: "R-----", 3: "R--5--", 4: ["R--5--", "R--5--",
                                                                                      "R--5--", "R--5a-"]},
             vel=84),
        Part("chord", 2, NYLON, "nylon guitar", [3, 4], {3: ". H H . H H"}, lo=55, n=4, vel=48, legato=0.8),
        Part("pad", 3, SLOW_STRINGS, "strings", [2, 3, 4], {2: "C-----", 4: ["C-----", "H-----"]}, lo=60, n=3,
             vel=52),
        Part("line", 4, FLUTE, "flute", [4], {4: ["5-----", "3--2--", "R-----", "3--5--"]}, centre=76, vel=54),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
    return Recipe(st, parts, BALLAD68_DRUMS, BALLAD68_FILLS).build(INTRO, INTERLUDE, SHORT_END, LONG_END)


@style
def jig():
    st = Style(2302, "jig", "吉格舞 6/8 Jig", "6/8", 168,
               "轻快的6/8吉格民间舞曲：钢弦吉他扫弦、贝司、手风琴与小提琴。", [1, 3], featured=True)
    parts = [
        Part("chord", 2, STEEL, "steel guitar", [1, 2, 3, 4], {1: "B..C..", 2: "B.CC.C", 3: "C~CC~C", 4: "C~CC~C"},
             lo=55, n=4, vel=64, legato=0.8, strum=4),
        Part("bass", 9, AC_BASS, "bass", [1, 2, 3, 4], {1: "R--5_--", 3: ["R--5--", "R--5--", "R--5--", "R-35-a"]},
             vel=88, legato=0.8),
        Part("chord", 1, ACCORDION, "accordion", [2, 3, 4], {2: "C~..C..", 3: "C..C.C"}, lo=60, n=3, vel=58,
             legato=0.8),
        Part("line", 4, FIDDLE, "fiddle", [3, 4], {3: ["5--3--", "R--3--", "5-6-5-", "3--R--"],
                                                   4: ["5 3 5 8 5 3", "R 3 5 3 R 3", "5 6 8 6 5 3", "5 3 R 3--"]},
             centre=72, vel=60, legato=0.85),
        Part("pad", 3, SLOW_STRINGS, "strings", [4], {4: "C-----"}, lo=64, n=3, vel=46),
    ]
    for p in parts:
        p.rhythm = {k: ([tok_words(x) for x in v] if isinstance(v, list) else tok_words(v))
                    for k, v in p.rhythm.items()}
    return Recipe(st, parts, JIG_DRUMS, JIG_FILLS).build(INTRO, INTERLUDE, SHORT_END, LONG_END)


def main():
    # An optional folder argument writes there instead (to compare with sources/).
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                                 "sources")
    ids = set()
    for fn in STYLES:
        st = fn()
        if st.sid in ids:
            raise SystemExit("duplicate style id %d" % st.sid)
        ids.add(st.sid)
        path = os.path.join(out_dir, st.stem + ".style")
        with open(path, "w", encoding="utf-8") as f:
            f.write(render(st))
        print("wrote", os.path.normpath(path))


if __name__ == "__main__":
    main()
