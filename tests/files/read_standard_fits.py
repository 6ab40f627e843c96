#!/usr/bin/python3
"""Reads a FITS file with astropy, independently of Nyxel, for the standard FITS export test.

usage: read_standard_fits.py FILE PIXELS_OUT
Every warning is an error; the file must pass astropy's strict verification. Prints the header
keywords as KEY=VALUE lines (HISTORY and COMMENT once per card) and the shape, and writes the pixels,
top row first, as little-endian 16-bit values to PIXELS_OUT.
"""
import sys
import warnings

warnings.simplefilter("error")

from astropy.io import fits  # noqa: E402
import numpy as np  # noqa: E402


def main():
    path, pixels_out = sys.argv[1], sys.argv[2]
    with fits.open(path, mode="readonly", memmap=False) as hdul:
        hdul.verify("exception")
        if len(hdul) != 1:
            raise SystemExit("expected one HDU, found %d" % len(hdul))
        hdu = hdul[0]
        for card in hdu.header.cards:
            print("%s=%s" % (card.keyword, card.value))
        data = np.asarray(hdu.data)
        print("SHAPE=%s" % ",".join(str(n) for n in data.shape))
        print("DTYPE=%s" % data.dtype.name)
        # ROWORDER BOTTOM-UP: the first stored row is the bottom one.
        top_first = data[..., ::-1, :]
        np.ascontiguousarray(top_first).astype("<u2").tofile(pixels_out)


if __name__ == "__main__":
    main()
