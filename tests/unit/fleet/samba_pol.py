#!/usr/bin/python3
# Samba's own Registry.pol reader and writer, as an independent judge of ours.
#   samba_pol.py read POL XML      the file as Samba reads it, written as its XML
#   samba_pol.py write XML POL     the XML as Samba writes it into a Registry.pol
import sys
import xml.etree.ElementTree as ET

from samba.gp_parse.gp_pol import GPPolParser
from samba.ndr import ndr_pack

parser = GPPolParser()
if sys.argv[1] == "read":
    with open(sys.argv[2], "rb") as f:
        parser.parse(f.read())
    parser.write_xml(sys.argv[3])
else:
    parser.load_xml(ET.parse(sys.argv[2]).getroot())
    with open(sys.argv[3], "wb") as f:
        f.write(ndr_pack(parser.pol_file))
