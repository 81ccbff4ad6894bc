"""Draws the sample application's splash bitmap (a 24-bit BMP) with Pillow.

    make_splash.py OUT.bmp

A dark blue field with the product name and a subtitle, a colour band under them and room
at the bottom left for the launcher's status line and at the bottom right for its version
line (their places and colours are in hello.json). Needs Debian's python3-pil and
fonts-dejavu-core.
"""
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 480, 280
FONTS = "/usr/share/fonts/truetype/dejavu/"
TOP, BOTTOM = (24, 42, 86), (10, 18, 40)          # the field's gradient
BAND_TOP, BAND_HEIGHT = 150, 10
BAND_LEFT, BAND_RIGHT = (255, 153, 0), (230, 40, 110)  # orange to raspberry
NAME, SUBTITLE = "Hello Sample", "a Java application started by zendra"


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def draw():
    image = Image.new("RGB", (WIDTH, HEIGHT))
    pen = ImageDraw.Draw(image)
    for y in range(HEIGHT):
        pen.line([(0, y), (WIDTH - 1, y)], fill=blend(TOP, BOTTOM, y / (HEIGHT - 1)))
    for x in range(WIDTH):
        pen.line([(x, BAND_TOP), (x, BAND_TOP + BAND_HEIGHT - 1)], fill=blend(BAND_LEFT, BAND_RIGHT, x / (WIDTH - 1)))
    # A thin light rule above the status area, and a one-pixel frame round the window.
    pen.line([(32, 226), (WIDTH - 33, 226)], fill=(60, 78, 120))
    pen.rectangle([(0, 0), (WIDTH - 1, HEIGHT - 1)], outline=(90, 110, 160))
    pen.text((32, 58), NAME, font=ImageFont.truetype(FONTS + "DejaVuSans-Bold.ttf", 44), fill=(255, 255, 255))
    pen.text((34, 116), SUBTITLE, font=ImageFont.truetype(FONTS + "DejaVuSans.ttf", 16), fill=(170, 186, 220))
    return image


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_splash.py OUT.bmp")
    draw().save(sys.argv[1], format="BMP")
