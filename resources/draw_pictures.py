#!/usr/bin/env python3
"""Writes the tool bar pictures and the application icon as XPM files.

Every picture is drawn below as a grid of palette letters, one letter per
pixel. For a tool bar button the grid is the normal image; this script
centres it in a 20 x 20 cell, derives the disabled image (the dark outline
embossed in white and grey) for the right-hand cell and writes the 40 x 20
picture. Olive, the tool bar's transparent colour, is the background of both
cells. The application icon keeps a truly transparent background ("None").

Run it from anywhere after changing a grid; it rewrites the .xpm files that
sit beside it.
"""

import os
import sys

# The 16 colours of the classic desktop palette, one letter each.
PALETTE = {
    "k": ("black", "#000000"),
    "m": ("maroon", "#800000"),
    "e": ("green", "#008000"),
    "o": ("olive", "#808000"),
    "n": ("navy", "#000080"),
    "p": ("purple", "#800080"),
    "t": ("teal", "#008080"),
    "g": ("grey", "#808080"),
    "s": ("silver", "#C0C0C0"),
    "r": ("red", "#FF0000"),
    "l": ("lime", "#00FF00"),
    "y": ("yellow", "#FFFF00"),
    "b": ("blue", "#0000FF"),
    "f": ("fuchsia", "#FF00FF"),
    "c": ("cyan", "#00FFFF"),
    "w": ("white", "#FFFFFF"),
}

# Background of a tool bar picture: olive, made transparent by the tool bar.
BUTTON_BACK = "."
BUTTON_BACK_COLOUR = "#808000"
# Background of the application icon.
ICON_BACK = "."

CELL = 20

# A pixel belongs to the outline that the disabled image embosses when its
# colour is dark: light fills (white, silver, yellow, cyan, ...) and the grey
# shading drop out, as they do on every classic disabled button.
OUTLINE_LIMIT = 110


def luminance(hex_colour):
    red = int(hex_colour[1:3], 16)
    green = int(hex_colour[3:5], 16)
    blue = int(hex_colour[5:7], 16)
    return 0.299 * red + 0.587 * green + 0.114 * blue


# ---------------------------------------------------------------------------
# Normal images of the tool bar buttons. "." is the background.
# ---------------------------------------------------------------------------

BUTTONS = {}

# An open yellow folder: the back with its tab, the front flap tilted open.
BUTTONS["OpenBtn"] = [
    "................",
    "................",
    ".kkkkk..........",
    "kwwwwwk.........",
    "kwyyyyykkkkkkk..",
    "kwyyyyyyyyyyyk..",
    "kwyyyyyyyyyyyk..",
    "kwyyykkkkkkkkkkk",
    "kwyykwwwwwwwwwwk",
    "kwykwyyyyyyyyyk.",
    "kwykyyyyyyyyyyk.",
    "kykwyyyyyyyyyk..",
    "kykyyyyyyyyyyk..",
    "kkyyyyyyyyyyk...",
    "kkkkkkkkkkkkk...",
    "................",
]

# A blue floppy disk: white label at the top, metal shutter at the bottom.
BUTTONS["SaveBtn"] = [
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kbkwwwwwwwwkbk.",
    ".kbkwwwwwwwwkbk.",
    ".kbkwkkkkkkwkbk.",
    ".kbkwwwwwwwwkbk.",
    ".kbkwkkkkkkwkbk.",
    ".kbkwwwwwwwwkbk.",
    ".kbbkkkkkkkkbbk.",
    ".kbbbbbbbbbbbbk.",
    ".kbbbkkkkkkkbbk.",
    ".kbbbkssskgsbbk.",
    ".kbbbkssskgsbbk.",
    ".kbbbkssskgsbbk.",
    ".kkbbkssssssbbk.",
    "..kkkkkkkkkkkkk.",
]

# A printer with a printed sheet standing out of its top.
BUTTONS["PrintBtn"] = [
    "................",
    "....kkkkkkkk....",
    "....kwwwwwwk....",
    "....kwkkkkwk....",
    "....kwwwwwwk....",
    "....kwkkkwwk....",
    "..kkkwwwwwwkkk..",
    ".kssskkkkkkssgk.",
    "kkkkkkkkkkkkkkgk",
    "kwsssssssssssskk",
    "ksssssssssslgssk",
    "ksssssssssssssgk",
    "kggggggggggggggk",
    "kkkkkkkkkkkkkkkk",
    ".kgk........kgk.",
    ".kkk........kkk.",
]

# An eraser rubbing out the end of a pencil mark.
BUTTONS["UndoBtn"] = [
    "................",
    "..........kkk...",
    ".........krrrk..",
    "........krrrrrk.",
    ".......krwrrrrrk",
    "......kwkrrrrrkk",
    ".....kwwwkrrrkmk",
    "....kwwwwwkrkmk.",
    "...kwwwwwwwkmk..",
    "..kswwwwwwwkk...",
    "..ksswwwwwkk....",
    "...ksswwkk......",
    "kk..kskk..g.....",
    ".kk.kk..g...g...",
    "..kkk.....g..g..",
    "................",
]

# A pair of scissors, blades up, handles down.
BUTTONS["CutBtn"] = [
    "................",
    "...k.......k....",
    "...kk.....kk....",
    "...ksk...ksk....",
    "....ksk.ksk.....",
    "....ksk.ksk.....",
    ".....kskskk.....",
    "......kskk......",
    "......kkk.......",
    ".....nnknnn.....",
    "....n.n.n..n....",
    "...n..n.n...n...",
    "...n..n..n..n...",
    "...n..n..n..n...",
    "....nn....nn....",
    "................",
]

# Two overlapping written pages.
BUTTONS["CopyBtn"] = [
    "kkkkkkk.........",
    "kwwwwwkk........",
    "kwwwwwkwk.......",
    "kwnnnwkkkk......",
    "kwwwwwkkkkkkk...",
    "kwnnnnkwwwwwkk..",
    "kwwwwwkwwwwwkwk.",
    "kwnnnnkwnnnwkkkk",
    "kwwwwwkwwwwwwwwk",
    "kwnnnnkwnnnnnnwk",
    "kwwwwwkwwwwwwwwk",
    "kkkkkkkwnnnnnnwk",
    "......kwwwwwwwwk",
    "......kwnnnnnnwk",
    "......kwwwwwwwwk",
    "......kkkkkkkkkk",
]

# A clipboard with its clip and a page laid on it.
BUTTONS["PasteBtn"] = [
    ".....kkkkk......",
    "..kkkksssskkk...",
    ".kmmksggggskmk..",
    ".kmmkkkkkkkkmk..",
    ".kmmmmmmmmmmmk..",
    ".kmmmmmmmmmmmk..",
    ".kmmmmkkkkkkkkk.",
    ".kmmmmkwwwwwwkwk",
    ".kmmmmkwkkkkwkkk",
    ".kmmmmkwwwwwwwwk",
    ".kmmmmkwkkkkkkwk",
    ".kmmmmkwwwwwwwwk",
    ".kmmmmkwkkkkkkwk",
    ".kmmmmkwwwwwwwwk",
    ".kkkkkkwwwwwwwwk",
    "......kkkkkkkkkk",
]

# A window whose client area is divided into four panes.
BUTTONS["TileBtn"] = [
    "................",
    "kkkkkkkkkkkkkkkk",
    "knnnnnnnnnnnnnnk",
    "kkkkkkkkkkkkkkkk",
    "kbbbbbbkbbbbbbbk",
    "kwwwwwwkwwwwwwwk",
    "kwwwwwwkwwwwwwwk",
    "kwwwwwwkwwwwwwwk",
    "kkkkkkkkkkkkkkkk",
    "kbbbbbbkbbbbbbbk",
    "kwwwwwwkwwwwwwwk",
    "kwwwwwwkwwwwwwwk",
    "kwwwwwwkwwwwwwwk",
    "kwwwwwwkwwwwwwwk",
    "kkkkkkkkkkkkkkkk",
    "................",
]

# A window holding three cascaded windows.
BUTTONS["CascadeBtn"] = [
    "................",
    "kkkkkkkkkkkkkkkk",
    "knnnnnnnnnnnnnnk",
    "kkkkkkkkkkkkkkkk",
    "kwwwwwwwwwwwwwwk",
    "kwkkkkkkkkwwwwwk",
    "kwkbbbbbbkwwwwwk",
    "kwkwkkkkkkkkwwwk",
    "kwkwkbbbbbbkwwwk",
    "kwkwkwkkkkkkkkwk",
    "kwkkkwkbbbbbbkwk",
    "kwwwkwkwwwwwwkwk",
    "kwwwkkkwwwwwwkwk",
    "kwwwwwkwwwwwwkwk",
    "kwwwwwkkkkkkkkwk",
    "kkkkkkkkkkkkkkkk",
]

# A window with the icons of minimised windows lined up along its bottom.
BUTTONS["ArrangeBtn"] = [
    "................",
    "kkkkkkkkkkkkkkk.",
    "knnnnnnnnnnnnnk.",
    "kkkkkkkkkkkkkkk.",
    "kwwwwwwwwwwwwwk.",
    "kwwwwwwwwwwwwwk.",
    "kwwwwwwwwwwwwwk.",
    "kwwwwwwwwwwwwwk.",
    "kwwwwwwwwwwwwwk.",
    "kwwwwwwwwwwwwwk.",
    "kwkkkwkkkwkkkwk.",
    "kwkbkwkbkwkbkwk.",
    "kwkkkwkkkwkkkwk.",
    "kwwwwwwwwwwwwwk.",
    "kkkkkkkkkkkkkkk.",
    "................",
]

# A cyan question mark.
BUTTONS["HelpBtn"] = [
    "................",
    "....kkkkkkk.....",
    "...kccccccck....",
    "..kccckkkccck...",
    "..kcck...kcck...",
    "..kkkk...kcck...",
    "........kccck...",
    ".......kccck....",
    "......kccck.....",
    "......kcck......",
    "......kkkk......",
    "................",
    "......kkkk......",
    "......kcck......",
    "......kcck......",
    "......kkkk......",
]

# A letter i.
BUTTONS["AboutBtn"] = [
    "................",
    "......kkkk......",
    "......kbbk......",
    "......kbbk......",
    "......kkkk......",
    "................",
    ".....kkkkk......",
    ".....kbbbk......",
    ".....kkbbk......",
    "......kbbk......",
    "......kbbk......",
    "......kbbk......",
    "......kbbk......",
    ".....kkbbkk.....",
    ".....kbbbbk.....",
    ".....kkkkkk.....",
]

# An open door: the leaf swung out beside a doorway that shows sky and grass.
BUTTONS["ExitBtn"] = [
    ".kkk............",
    ".kmmkk..........",
    ".kmmmmkkkkkkkkk.",
    ".kmmmmkccccccck.",
    ".kmmmmkccccccck.",
    ".kmmmmkccccccck.",
    ".kmmmmkccccccck.",
    ".kmmmmkccccccck.",
    ".kymmmkccccccck.",
    ".kmmmmkccccccck.",
    ".kmmmmkccccccck.",
    ".kmmmmklllllllk.",
    ".kmmmmklllllllk.",
    ".kmmmmklllllllk.",
    ".kmmkkkkkkkkkkk.",
    ".kkk............",
]

# ---------------------------------------------------------------------------
# The application icon: a hand drawing a page of text out of an open yellow
# folder. "." is transparent.
# ---------------------------------------------------------------------------

ICON_32 = [
    ".............nnnnnnnnn..........",
    ".............nbbbbbbbnn.........",
    ".............nbbbbbbbnn.........",
    "............kkkkkkkkkkkk........",
    "...........kwwwwwwwwwwsk........",
    "..........kwwwwwwwwwwwssk.......",
    "..........kwwwwwwwwwwwssk.......",
    ".........kwwwwwwwwwwwwssk.......",
    "....kkkkkkwwwkwwwkwwwkssk.......",
    "....kwwwwkwwwkwwwkwwwkwsk.......",
    "....kwwwwkwwwkwwwkwwwkwsk.......",
    "....kwnwwkwwwkwwwkwwwkkk........",
    "....kwwwwkwwwkwwwkwwsk..........",
    "....kwnwwwkwskwwwkwwsk..........",
    "....kwwwwwwkkwkwskwkk...........",
    "....kwnnnnnnnnnkkwwk............",
    "kkkkkwwwwwwwwwwwwwwk............",
    "kwwwkwnnnnnnnnnnnnwk............",
    "kwyykwwwwwwwwwwwwwwkkkkkkkk.....",
    "kwyykwnnnnnnnwwwwwwkwwwwwwk.....",
    "kwyykwwwwwwwwwwwwwwkyyyyyyk.....",
    "kwyykwnnnnnnnnnnnwwkyyyyyyk.....",
    "kwyykwwwwwwwwwwwwwwkyyyyyyk.....",
    "kwyykwnkkkkkkkkkkkkkkkkkkkkkkkk.",
    "kwyykwkwwwwwwwwwwwwwwwwwwwwwwk..",
    "kwyykkyyyyyyyyyyyyyyyyyyyyyyk...",
    "kwyykyyyyyyyyyyyyyyyyyyyyyyk....",
    "kwykyyyyyyyyyyyyyyyyyyyyyyk.....",
    "kwkyyyyyyyyyyyyyyyyyyyyyykk.....",
    "kkyyyyyyyyyyyyyyyyyyyyyykyk.....",
    "kkkkkkkkkkkkkkkkkkkkkkkkkkk.....",
    ".kkkkkkkkkkkkkkkkkkkkkk.........",
]

# The launcher size of most desktops; siftwell.svg beside this script is the
# same picture for every larger size.
ICON_48 = [
    "...................kkkkkkkkkkkkkkk..............",
    "...................kbbbbbbbbbbbbbk..............",
    "...................kbbbbbbbbbbbbbk..............",
    "...................kbbbbbbbbbbbbbk..............",
    "...................kbbbbbbbbbbbbbk..............",
    ".................kkkkkkkkkkkkkkkkkk.............",
    "................kwwwwwwwwwwwwwwwwwsk............",
    "...............kwwwwwwwwwwwwwwwwwwwsk...........",
    "...............kwwwwwwwwwwwwwwwwwwwwsk..........",
    "..............kwwwwwwwwwwwwwwwwwwwwwsk..........",
    "..............kwwwwwwwwwwwwwwwwwwwwwsk..........",
    "......kkkkkkkkkwwwwwwwwwwwwwwwwwwwwwsk..........",
    "......kwwwwwwwkwwwwwwwwwwwwwwwwwwwwwsk..........",
    "......kwwwwwwwkwwwwwwwwwwwwwwwwwwwwwsk..........",
    "......kwwwwwwwkwwwwwwwwwwwwwwwwwwwwwsk..........",
    "......kwwwwwwwkwwwskwwwskwwwskwwwwsk............",
    "......kwwnnnnnkwwwskwwwskwwwskwwwwsk............",
    "......kwwwwwwwkwwwskwwwskwwwskwwwwsk............",
    "......kwwwwwwwkwwwskwwwskwwwskwwwwsk............",
    "......kwwnnnnnkwwwskwwwskwwwskwwwwsk............",
    "......kwwwwwwwkwwwskwwwskwwwskwwwwsk............",
    "......kwwwwwwwkwwskkwwskkwwskkwwwsk.............",
    "......kwwnnnnnnkkknnkkknnkkkwkkkkk..............",
    "......kwwwwwwwwwwwwwwwwwwwwwwk..................",
    "kkkkkkkwwwwwwwwwwwwwwwwwwwwwwk..................",
    "kwwwwwkwwnnnnnnnnnnnnnnwwwwwwk..................",
    "kwyyyykwwwwwwwwwwwwwwwwwwwwwwk..................",
    "kwyyyykwwwwwwwwwwwwwwwwwwwwwwkkkkkkkkkkk........",
    "kwyyyykwwnnnnnnnnnnnnnnnnnnnwkwwwwwwwwwk........",
    "kwyyyykwwwwwwwwwwwwwwwwwwwwwwkyyyyyyyyyk........",
    "kwyyyykwwwwwwwwwwwwwwwwwwwwwwkyyyyyyyyyk........",
    "kwyyyykwwnnnnnnnnnnnwwwwwwwwwkyyyyyyyyyk........",
    "kwyyyykwwwwwwwwwwwwwwwwwwwwwwkyyyyyyyyyk........",
    "kwyyyykwwwwwwwwwwwwwwwwwwwwwwkyyyyyyyyyk........",
    "kwyyyykwkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.",
    "kwyyyykkwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwk..",
    "kwyyyykkwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk..",
    "kwyyyykwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk...",
    "kwyyykwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk...",
    "kwyyykwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk....",
    "kwyykwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk....",
    "kwyykwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk.....",
    "kwykwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk.....",
    "kwkwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk......",
    "kwkwyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyk......",
    "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk.......",
    ".kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk......",
    "..kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk..........",
]

ICON_16 = [
    "......nnnnn.....",
    "......nbbbn.....",
    ".....kkkkkkk....",
    "..kkkwwwwwwsk...",
    "..kwkwwwwwwsk...",
    "..kwkwkwkwksk...",
    "..kwkwkwkwkk....",
    "kkkwkwkwkwk.....",
    "kwknkkwkwkkkkk..",
    "kykwnnnkknwkyk..",
    "kykwwwwwwwwkyk..",
    "kykkkkkkkkkkkkkk",
    "kykwwwwwwwwwwwk.",
    "kkyyyyyyyyyyyk..",
    "kyyyyyyyyyyyk...",
    "kkkkkkkkkkkk....",
]


def check_grid(name, grid, back):
    width = len(grid[0])
    for row, line in enumerate(grid):
        if len(line) != width:
            sys.exit(f"{name}: row {row} is {len(line)} pixels wide, not {width}")
        for char in line:
            if char != back and char not in PALETTE:
                sys.exit(f"{name}: row {row} uses '{char}', which is not in the palette")


def button_picture(name, grid):
    """The 40 x 20 picture: normal image left, disabled image right."""
    check_grid(name, grid, BUTTON_BACK)
    if any(PALETTE[char][1] == BUTTON_BACK_COLOUR for row in grid for char in row if char in PALETTE):
        sys.exit(f"{name}: olive is the transparent colour and cannot be drawn with")
    height, width = len(grid), len(grid[0])
    if width > CELL - 1 or height > CELL - 1:
        sys.exit(f"{name}: the image leaves no room for the embossed edge")
    left = (CELL - width) // 2
    top = (CELL - height) // 2
    normal = [[BUTTON_BACK] * CELL for _ in range(CELL)]
    for y, line in enumerate(grid):
        for x, char in enumerate(line):
            normal[top + y][left + x] = char

    def is_outline(char):
        return char != BUTTON_BACK and luminance(PALETTE[char][1]) < OUTLINE_LIMIT

    # The outline lit from the top left: a white copy one pixel down and to
    # the right, then the grey outline itself over it.
    disabled = [[BUTTON_BACK] * CELL for _ in range(CELL)]
    for y in range(CELL):
        for x in range(CELL):
            if is_outline(normal[y][x]):
                disabled[y + 1][x + 1] = "w"
    for y in range(CELL):
        for x in range(CELL):
            if is_outline(normal[y][x]):
                disabled[y][x] = "g"
    return ["".join(normal[y]) + "".join(disabled[y]) for y in range(CELL)]


def xpm_text(name, rows, back, back_colour):
    used = sorted({char for row in rows for char in row} - {back})
    lines = ["/* XPM */", f"static const char* const {name}_xpm[] = {{"]
    lines.append(f'"{len(rows[0])} {len(rows)} {len(used) + 1} 1",')
    back_name = "transparent" if back_colour == "None" else "background, transparent"
    lines.append(f'"{back} c {back_colour}",  /* {back_name} */')
    for char in used:
        colour_name, colour = PALETTE[char]
        lines.append(f'"{char} c {colour}",  /* {colour_name} */')
    for index, row in enumerate(rows):
        ending = "," if index + 1 < len(rows) else ""
        lines.append(f'"{row}"{ending}')
    lines.append("};")
    return "\n".join(lines) + "\n"


def write(folder, file_name, text):
    with open(os.path.join(folder, file_name), "w", encoding="ascii", newline="\n") as out:
        out.write(text)


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for name, grid in BUTTONS.items():
        rows = button_picture(name, grid)
        write(folder, f"{name}.xpm", xpm_text(name, rows, BUTTON_BACK, BUTTON_BACK_COLOUR))
    for size, grid in ((48, ICON_48), (32, ICON_32), (16, ICON_16)):
        name = f"siftwell_{size}"
        check_grid(name, grid, ICON_BACK)
        if len(grid) != size or len(grid[0]) != size:
            sys.exit(f"{name}: the grid is not {size} x {size}")
        if len({char for row in grid for char in row} - {ICON_BACK}) > 15:
            sys.exit(f"{name}: more than 16 colours")
        write(folder, f"siftwell-{size}.xpm", xpm_text(name, grid, ICON_BACK, "None"))


if __name__ == "__main__":
    main()
