"""Prints the note-ons of a Standard MIDI File, one line each:
bar channel pitch, with bars of beats-per-bar quarter notes."""
import sys

import mido

path, beats = sys.argv[1], int(sys.argv[2])
midi = mido.MidiFile(path)
bar_ticks = midi.ticks_per_beat * beats
for track in midi.tracks:
    now = 0
    for message in track:
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            print(now // bar_ticks, message.channel, message.note)
