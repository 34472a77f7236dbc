#!/usr/bin/env python3
"""Checks a game's screenshot (any file ImageMagick reads) for the package test.

  shot_check.py centred <image> <r,g,b>   what differs from the background
      colour r,g,b has its bounding box's centre at the picture's centre
  shot_check.py lit <image> <r,g,b>       the world shows lit: many distinct
      colours, and pixels near the centre of the hue of r,g,b (the character's)

Prints what it found; exit status 0 when the check holds, 1 when not.
"""

import subprocess
import sys

from e2e_program import Picture

# How far a pixel may stray from the background and still be background.
BACKGROUND_TOLERANCE = 12
# The bounding box's centre may lie this share of the picture's size off its centre.
CENTRE_TOLERANCE = 0.05
# A lit world has at least this many colours; a flat or unlit one far fewer.
MIN_COLOURS = 1000
# The character is looked for within this share of the size around the centre.
CENTRE_BOX = 0.15
MIN_CHARACTER_PIXELS = 30


def load(path):
    return Picture(subprocess.run(["convert", path, "ppm:-"], capture_output=True, check=True).stdout)


def centred(picture, background):
    xs, ys = [], []
    for y in range(picture.height):
        for x in range(picture.width):
            if max(abs(c - b) for c, b in zip(picture.rgb(x, y), background)) > BACKGROUND_TOLERANCE:
                xs.append(x)
                ys.append(y)
    if not xs:
        print("nothing but the background")
        return False
    centre = ((min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2)
    off = (centre[0] / picture.width - 0.5, centre[1] / picture.height - 0.5)
    print(f"drawn from ({min(xs)}, {min(ys)}) to ({max(xs)}, {max(ys)}) of {picture.width} x {picture.height}: "
          f"off centre by {off[0]:+.3f}, {off[1]:+.3f} of the size")
    return abs(off[0]) <= CENTRE_TOLERANCE and abs(off[1]) <= CENTRE_TOLERANCE


# The hue of a colour as the order and ratios of its channels, so that light
# and shade of one colour match it: each channel over the strongest.
def same_hue(colour, reference, tolerance=0.2):
    top, ref_top = max(colour), max(reference)
    return top >= 40 and all(abs(c / top - r / ref_top) <= tolerance for c, r in zip(colour, reference))


def lit(picture, character):
    colours = len(set(zip(picture.r, picture.g, picture.b)))
    x0, x1 = int(picture.width * (0.5 - CENTRE_BOX)), int(picture.width * (0.5 + CENTRE_BOX))
    y0, y1 = int(picture.height * (0.5 - CENTRE_BOX)), int(picture.height * (0.5 + CENTRE_BOX))
    near = sum(same_hue(picture.rgb(x, y), character) for y in range(y0, y1) for x in range(x0, x1))
    print(f"{colours} distinct colours; {near} pixels of the character's hue near the centre")
    return colours >= MIN_COLOURS and near >= MIN_CHARACTER_PIXELS


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("centred", "lit"):
        print(__doc__)
        return 2
    colour = tuple(int(c) for c in sys.argv[3].split(","))
    check = centred if sys.argv[1] == "centred" else lit
    return 0 if check(load(sys.argv[2]), colour) else 1


if __name__ == "__main__":
    sys.exit(main())
