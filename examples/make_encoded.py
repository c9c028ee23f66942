#!/usr/bin/env python3
"""Writes the examples that are not UTF-8: run it again after editing the text below.

config-latin1.xml  ISO-8859-1, with its encoding declaration
feed-utf16.xml     UTF-16 little-endian, starting with a byte-order mark
"""
import codecs
import pathlib

HERE = pathlib.Path(__file__).resolve().parent

CONFIG = """<?xml version="1.0" encoding="ISO-8859-1"?>
<!-- Station de mesure météo, Gîte du Col (réglages du 12 février). -->
<configuration version="3">
  <station id="col-02" nom="Gîte du Col" altitude="1 870 m"/>
  <capteurs>
    <capteur type="température" unité="°C" intervalle="60"/>
    <capteur type="humidité" unité="%" intervalle="60"/>
    <capteur type="pression" unité="hPa" intervalle="300"/>
  </capteurs>
  <alerte seuil="-15" message="Gel sévère : fermer la vanne n° 2 à côté du chalet."/>
  <responsable>Zoë Brûlé &lt;zoe@example.fr&gt;</responsable>
</configuration>
"""

FEED = """<?xml version="1.0" encoding="UTF-16"?>
<feed lang="multi">
  <title>Stadtbibliothek – Neuerwerbungen</title>
  <updated>2024-04-02T09:30:00Z</updated>
  <entry id="4711">
    <title>Ο μικρός πρίγκιπας</title>
    <author>Antoine de Saint-Exupéry</author>
    <summary>Griechische Ausgabe, übersetzt von Στρατής Τσίρκας.</summary>
  </entry>
  <entry id="4712">
    <title>Мастер и Маргарита</title>
    <author>Михаил Булгаков</author>
    <summary>Russische Originalausgabe, Taschenbuch.</summary>
  </entry>
  <entry id="4713">
    <title>Die Blechtrommel</title>
    <author>Günter Grass</author>
    <summary>Jubiläumsausgabe; Zitat: „Zugegeben: ich bin Insasse einer Heil- und Pflegeanstalt.“</summary>
  </entry>
</feed>
"""


def main():
    (HERE / "config-latin1.xml").write_bytes(CONFIG.encode("iso-8859-1"))
    (HERE / "feed-utf16.xml").write_bytes(codecs.BOM_UTF16_LE + FEED.encode("utf-16-le"))


if __name__ == "__main__":
    main()
