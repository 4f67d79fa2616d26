#!/usr/bin/env python3
"""Writes samples/transport.ttl and samples/transport.nt: a small SKOS thesaurus of transport
in English and German (two concept schemes, every SKOS mapping property), used by the tests of
thesaurus-import. Both files hold the same triples. Run from anywhere; the output is stable."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
BASE = "http://example.org/transport/"
FREIGHT = "http://example.org/freight/"
SKOS = "http://www.w3.org/2004/02/skos/core#"
RDF_TYPE = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type"

# key | broader keys (,) | English preferred | German preferred | English alternatives (;) |
# German alternatives (;) | hidden labels (;)
TABLE = """
transport||transport|Verkehr|transportation;conveyance|Transport;Beförderung|
vehicle|transport|vehicle|Fahrzeug|means of transport|Verkehrsmittel|vehical
landveh|vehicle|land vehicle|Landfahrzeug|||
roadveh|landveh|road vehicle|Straßenfahrzeug|||
car|roadveh|car|Personenkraftwagen|automobile;motorcar;auto|Auto;PKW;Wagen|automobil
sedan|car|sedan|Limousine|saloon||
hatchback|car|hatchback|Schrägheck|||
estate|car|estate car|Kombi|station wagon;estate|Kombiwagen|
coupe|car|coupé|Coupé|coupe||
cabrio|car|convertible|Cabriolet|cabriolet;drophead|Cabrio|
suv|car|sport utility vehicle|Geländelimousine|SUV||
taxi|car|taxi|Taxi|cab;taxicab|Droschke|
ecar|car,electricveh|electric car|Elektroauto|EV;battery electric car|E-Auto;Elektro-PKW|
hybridcar|car|hybrid car|Hybridauto|hybrid|Hybridfahrzeug|
racecar|car|racing car|Rennwagen|race car||
truck|roadveh|truck|Lastkraftwagen|lorry|LKW;Laster|
tipper|truck|dump truck|Kipper|tipper truck;tipper|Muldenkipper|
tanker|truck|tank truck|Tankwagen|tanker lorry;road tanker|Tanklastzug|
semi|truck|semi-trailer truck|Sattelzug|articulated lorry;semi|Sattelschlepper|
van|roadveh|van|Transporter|delivery van;panel van|Lieferwagen|
bus|roadveh|bus|Bus|omnibus;autobus|Omnibus;Autobus|
coach|bus|coach|Reisebus|motor coach|Fernbus|
minibus|bus|minibus|Kleinbus|||
trolleybus|bus|trolleybus|Oberleitungsbus|trackless trolley|O-Bus;Obus|
schoolbus|bus|school bus|Schulbus|||
dd|bus|double-decker bus|Doppeldeckerbus|double-decker|Doppeldecker|
motorcycle|roadveh|motorcycle|Motorrad|motorbike|Krad|
scooter|motorcycle|scooter|Motorroller|motor scooter|Roller|
moped|motorcycle|moped|Mofa||Moped|
bicycle|roadveh|bicycle|Fahrrad|bike;cycle;push-bike|Rad;Velo|bycicle
ebike|bicycle,electricveh|electric bicycle|Elektrofahrrad|e-bike;pedelec|E-Bike;Pedelec|
mtb|bicycle|mountain bike|Mountainbike|MTB||
roadbike|bicycle|road bike|Rennrad|racing bicycle||
tandem|bicycle|tandem|Tandem|tandem bicycle||
cargobike|bicycle|cargo bike|Lastenrad|freight bicycle;box bike|Lastenfahrrad|
tricycle|roadveh|tricycle|Dreirad|trike||
railveh|landveh|rail vehicle|Schienenfahrzeug|||
train|railveh|train|Zug|railway train|Eisenbahnzug|
hst|train|high-speed train|Hochgeschwindigkeitszug|bullet train|Schnellzug|
freighttrain|train|freight train|Güterzug|goods train||
locomotive|railveh|locomotive|Lokomotive|engine;loco|Lok|
steamloco|locomotive|steam locomotive|Dampflokomotive||Dampflok|
eloco|locomotive,electricveh|electric locomotive|Elektrolokomotive||E-Lok|
dieselloco|locomotive|diesel locomotive|Diesellokomotive||Diesellok|
tram|railveh|tram|Straßenbahn|streetcar;trolley|Tram;Bim|
metro|railveh|underground train|U-Bahn-Zug|metro train;subway train|U-Bahn|
monorail|railveh|monorail|Einschienenbahn|||
funicular|railveh|funicular|Standseilbahn|cliff railway||
wagon|railveh|railway wagon|Eisenbahnwagen|railcar;rail car|Waggon|
boxcar|wagon|boxcar|gedeckter Güterwagen|covered wagon||
flatcar|wagon|flatcar|Flachwagen|flatbed wagon||
aircraft|vehicle|aircraft|Luftfahrzeug|aeroplane;airplane|Flugzeug|
airliner|aircraft|airliner|Verkehrsflugzeug|passenger aircraft|Passagierflugzeug|
jet|aircraft|jet aircraft|Düsenflugzeug|jet|Jet|
glider|aircraft|glider|Segelflugzeug|sailplane|Segler|
helicopter|aircraft|helicopter|Hubschrauber|chopper;heli|Helikopter|
airship|aircraft|airship|Luftschiff|dirigible;blimp|Zeppelin|
balloon|aircraft|hot-air balloon|Heißluftballon|balloon|Ballon|
drone|aircraft|drone|Drohne|unmanned aerial vehicle;UAV||
cargoplane|aircraft|cargo aircraft|Frachtflugzeug|freighter aircraft||
seaplane|aircraft|seaplane|Wasserflugzeug|floatplane||
watercraft|vehicle|watercraft|Wasserfahrzeug|vessel|Schiff|
ship|watercraft|ship|Schiff|||
containership|ship|container ship|Containerschiff|box ship||
tankership|ship|tanker|Tanker|tank ship;oil tanker|Tankschiff|
ferry|ship|ferry|Fähre|ferryboat|Fährschiff|
cruiseship|ship|cruise ship|Kreuzfahrtschiff|cruise liner|Kreuzfahrer|
bulk|ship|bulk carrier|Massengutfrachter|bulker||
boat|watercraft|boat|Boot|||
sailboat|boat|sailing boat|Segelboot|sailboat;yacht|Jacht;Yacht|
rowboat|boat|rowing boat|Ruderboot|rowboat||
canoe|boat|canoe|Kanu|||
kayak|boat|kayak|Kajak|||
motorboat|boat|motorboat|Motorboot|powerboat||
barge|watercraft|barge|Lastkahn|lighter|Schute;Binnenschiff|
tug|watercraft|tugboat|Schlepper|tug|Schleppboot|
submarine|watercraft|submarine|U-Boot|sub|Unterseeboot|
hovercraft|watercraft|hovercraft|Luftkissenfahrzeug|air-cushion vehicle||
spacecraft|vehicle|spacecraft|Raumfahrzeug|spaceship|Raumschiff|
rocket|spacecraft|rocket|Rakete|launch vehicle|Trägerrakete|
shuttle|spacecraft|space shuttle|Raumfähre|shuttle|Spaceshuttle|
capsule|spacecraft|space capsule|Raumkapsel|capsule|Kapsel|
satellite|spacecraft|satellite|Satellit|||
electricveh|vehicle|electric vehicle|Elektrofahrzeug|battery vehicle|E-Fahrzeug|
part|transport|vehicle part|Fahrzeugteil|component|Bauteil|
engine|part|engine|Motor|motor|Triebwerk|
ice|engine|internal combustion engine|Verbrennungsmotor|combustion engine|Verbrenner|
dieselengine|ice|diesel engine|Dieselmotor||Selbstzünder|
petrolengine|ice|petrol engine|Ottomotor|gasoline engine;gas engine|Benzinmotor|
emotor|engine|electric motor|Elektromotor|e-motor|E-Motor|
jetengine|engine|jet engine|Strahltriebwerk|turbojet|Düsentriebwerk|
gearbox|part|gearbox|Getriebe|transmission|Schaltgetriebe|
clutch|gearbox|clutch|Kupplung|||
wheel|part|wheel|Rad|||
tyre|wheel|tyre|Reifen|tire||
rim|wheel|rim|Felge|wheel rim||
brake|part|brake|Bremse|||
discbrake|brake|disc brake|Scheibenbremse|disk brake||
drumbrake|brake|drum brake|Trommelbremse|||
steering|part|steering wheel|Lenkrad|steering|Steuer|
seat|part|seat|Sitz|||
seatbelt|part|seat belt|Sicherheitsgurt|safety belt|Gurt|
headlight|part|headlight|Scheinwerfer|headlamp||
windscreen|part|windscreen|Windschutzscheibe|windshield|Frontscheibe|
battery|part|traction battery|Antriebsbatterie|battery pack|Akku;Fahrakku|
chassis|part|chassis|Fahrgestell|frame|Rahmen|
wing|part|wing|Tragfläche|aerofoil|Flügel|
propeller|part|propeller|Propeller|airscrew|Luftschraube|
hull|part|hull|Rumpf||Schiffsrumpf|
sail|part|sail|Segel|||
rudder|part|rudder|Ruder||Steuerruder|
pantograph|part|pantograph|Stromabnehmer|||
coupling|part|coupling|Kupplung (Bahn)|coupler|Zugkupplung|
energy|transport|energy source|Energieträger|fuel;power source|Kraftstoff;Treibstoff|
petrol|energy|petrol|Benzin|gasoline;gas|Ottokraftstoff|
diesel|energy|diesel|Dieselkraftstoff|diesel fuel;gasoil|Diesel|
kerosene|energy|kerosene|Kerosin|jet fuel;paraffin|Flugbenzin|
lpg|energy|liquefied petroleum gas|Autogas|LPG;autogas|Flüssiggas|
cng|energy|compressed natural gas|Erdgas|CNG||
hydrogen|energy|hydrogen|Wasserstoff|H2||
electricity|energy|electricity|Elektrizität|electric power|Strom|
biofuel|energy|biofuel|Biokraftstoff|biodiesel;bioethanol|Biosprit|
coal|energy|coal|Kohle|||
infrastructure|transport|transport infrastructure|Verkehrsinfrastruktur|infrastructure|Infrastruktur|
road|infrastructure|road|Straße|||
motorway|road|motorway|Autobahn|freeway;expressway;highway|Schnellstraße|
street|road|street|Gasse|||
cycleway|road|cycle path|Radweg|bike lane;cycle lane|Fahrradweg|
bridge|infrastructure|bridge|Brücke|||
tunnel|infrastructure|tunnel|Tunnel|||
railway|infrastructure|railway|Eisenbahn|railroad;rail line|Bahnstrecke|
track|railway|track|Gleis|rails||
station|infrastructure|station|Bahnhof|railway station;train station|Station|
busstop|infrastructure|bus stop|Bushaltestelle|stop|Haltestelle|
airport|infrastructure|airport|Flughafen|aerodrome;airfield|Flugplatz|
runway|airport|runway|Start- und Landebahn|landing strip;airstrip|Piste|
harbour|infrastructure|harbour|Hafen|harbor;port|Seehafen|
canal|infrastructure|canal|Kanal|waterway|Wasserstraße|
lock|canal|lock|Schleuse|canal lock||
garage|infrastructure|garage|Garage|||
carpark|infrastructure|car park|Parkplatz|parking lot;parking garage|Parkhaus|
petrolstation|infrastructure|petrol station|Tankstelle|filling station;gas station|Zapfstelle|
chargingstation|infrastructure|charging station|Ladestation|charging point;charger|Ladesäule|
spaceport|infrastructure|spaceport|Weltraumbahnhof|cosmodrome|Raumhafen|
worker|transport|transport worker|Verkehrsbeschäftigter|||
driver|worker|driver|Fahrer|motorist|Kraftfahrer|
truckdriver|driver|truck driver|Lastwagenfahrer|lorry driver;trucker|Fernfahrer|
busdriver|driver|bus driver|Busfahrer|||
taxidriver|driver|taxi driver|Taxifahrer|cabbie;cab driver||
cyclist|worker|cyclist|Radfahrer|bicyclist;rider|Radler|
pilot|worker|pilot|Pilot|aviator;airman|Flugzeugführer|
stewardess|worker|flight attendant|Flugbegleiter|steward;stewardess|Stewardess|
captain|worker|ship captain|Kapitän|skipper;master|Schiffsführer|
sailor|worker|sailor|Seemann|seaman;mariner|Matrose|
traindriver|worker|train driver|Lokführer|engine driver;locomotive engineer|Triebfahrzeugführer|
conductor|worker|conductor|Schaffner|ticket inspector|Zugbegleiter|
mechanic|worker|mechanic|Mechaniker|motor mechanic|Kfz-Mechaniker|
astronaut|worker|astronaut|Astronaut|cosmonaut;spaceman|Raumfahrer|
cargo|transport|cargo|Fracht|freight;goods|Ladung;Güter|
container|cargo|shipping container|Container|intermodal container;box|Frachtcontainer|
pallet|cargo|pallet|Palette|skid||
parcel|cargo|parcel|Paket|package||
bulkcargo|cargo|bulk cargo|Schüttgut|bulk goods|Massengut|
passenger|transport|passenger|Fahrgast|traveller;rider|Passagier;Reisender|
commuter|passenger|commuter|Pendler|||
tourist|passenger|tourist|Tourist|holidaymaker|Urlauber|
ticket|transport|ticket|Fahrkarte|fare;travel ticket|Ticket;Fahrschein|
timetable|transport|timetable|Fahrplan|schedule||
route|transport|route|Linie|line;service|Verkehrslinie|
busroute|route|bus route|Buslinie|bus line|Omnibuslinie|
tramroute|route|tram route|Straßenbahnlinie|tram line||
""".strip()

# Numbered bus and tram routes: plain concepts with a number, as real network thesauri have.
ROUTES = [("busroute", "bus route %d", "Buslinie %d", 1, 61),
          ("tramroute", "tram route %d", "Straßenbahnlinie %d", 1, 31)]

# key, related keys: skos:related in one direction only; the import makes it symmetric.
RELATED = """
car:driver,road,petrol,garage,carpark,petrolstation
truck:truckdriver,cargo,diesel,motorway
bus:busdriver,busstop,busroute,passenger
coach:tourist
taxi:taxidriver
bicycle:cyclist,cycleway
ebike:electricity,chargingstation
ecar:electricity,chargingstation,battery
train:traindriver,station,railway,timetable,conductor
tram:tramroute,track,pantograph
aircraft:pilot,airport,kerosene,stewardess
helicopter:pilot
ship:captain,sailor,harbour
barge:canal,lock
containership:container
spacecraft:astronaut,spaceport
rocket:hydrogen
dieselengine:diesel
petrolengine:petrol
emotor:electricity
ticket:passenger,timetable
commuter:ticket
steamloco:coal
mechanic:garage,engine
""".strip()

# Concepts of the freight scheme and their mappings to the transport scheme.
FREIGHT_TABLE = [
    # key, en, de, property, target
    ("f-lorry", "heavy goods vehicle", "Schwerlastfahrzeug", "exactMatch", "truck"),
    ("f-hgv", "HGV", "Lastzug", "closeMatch", "semi"),
    ("f-goods", "goods transport", "Güterverkehr", "relatedMatch", "cargo"),
    ("f-railfreight", "rail freight", "Schienengüterverkehr", "broadMatch", "train"),
    ("f-carrier", "carrier vehicle", "Trägerfahrzeug", "narrowMatch", "van"),
    ("f-box", "freight container", "Frachtbehälter", "exactMatch", "container"),
    ("f-ship", "cargo ship", "Frachtschiff", "closeMatch", "containership"),
    ("f-air", "air freight", "Luftfracht", "relatedMatch", "cargoplane"),
    ("f-vehicle", "freight vehicle", "Güterfahrzeug", "narrowMatch", "truck"),
    ("f-parcel", "parcel service", "Paketdienst", "relatedMatch", "parcel"),
    ("f-waggon", "goods wagon", "Güterwagen", "broadMatch", "wagon"),
    ("f-pallet", "load carrier", "Ladungsträger", "narrowMatch", "pallet"),
]

# Labels the import must skip or treat with care, each for a stated reason.
ODDITIES = [
    # (subject key, property, literal, language)
    ("car", "hiddenLabel", "a very long hidden label that is far longer than sixty-four bytes in all", "en"),
    ("bus", "altLabel", "#hashtagbus", "en"),
    ("train", "altLabel", ".dotted", "en"),
    ("tram", "altLabel", "tram :42", "en"),
    ("road", "altLabel", ":WORDS", "en"),
    ("ship", "altLabel", "  Steamer  ", "en"),
    ("boat", "altLabel", "Boat", "en"),
    ("garage", "prefLabel", "Werkstatt", "de-AT"),
    ("station", "prefLabel", "depot", ""),
    ("ferry", "altLabel", "bac", "fr"),
    ("hovercraft", "altLabel", "aéroglisseur", "fr"),
]


def iri(key):
    return (FREIGHT if key.startswith("f-") else BASE) + key


def main():
    triples = []  # (subject IRI, predicate IRI, object) with object ("iri", x) or ("lit", text, lang)

    def add(s, p, o):
        triples.append((s, p, o))

    add(BASE + "scheme", RDF_TYPE, ("iri", SKOS + "ConceptScheme"))
    add(FREIGHT + "scheme", RDF_TYPE, ("iri", SKOS + "ConceptScheme"))
    concepts = {}
    for line in TABLE.splitlines():
        key, broader, en, de, alts_en, alts_de, hidden = line.split("|")
        concepts[key] = broader
        s = iri(key)
        add(s, RDF_TYPE, ("iri", SKOS + "Concept"))
        add(s, SKOS + "inScheme", ("iri", BASE + "scheme"))
        add(s, SKOS + "prefLabel", ("lit", en, "en"))
        add(s, SKOS + "prefLabel", ("lit", de, "de"))
        for a in filter(None, alts_en.split(";")):
            add(s, SKOS + "altLabel", ("lit", a, "en"))
        for a in filter(None, alts_de.split(";")):
            add(s, SKOS + "altLabel", ("lit", a, "de"))
        for h in filter(None, hidden.split(";")):
            add(s, SKOS + "hiddenLabel", ("lit", h, "en"))
        if not broader:
            add(s, SKOS + "topConceptOf", ("iri", BASE + "scheme"))
        for i, b in enumerate(filter(None, broader.split(","))):
            add(s, SKOS + "broader", ("iri", iri(b)))
            # Most hierarchies state both directions; every third one states only broader.
            if (len(concepts) + i) % 3:
                add(iri(b), SKOS + "narrower", ("iri", s))
    for parent, en, de, first, last in ROUTES:
        for n in range(first, last):
            s = BASE + "%s-%d" % (parent, n)
            add(s, RDF_TYPE, ("iri", SKOS + "Concept"))
            add(s, SKOS + "prefLabel", ("lit", en % n, "en"))
            add(s, SKOS + "prefLabel", ("lit", de % n, "de"))
            add(s, SKOS + "broader", ("iri", iri(parent)))
    for line in RELATED.splitlines():
        key, others = line.split(":")
        for o in others.split(","):
            add(iri(key), SKOS + "related", ("iri", iri(o)))
    for key, en, de, prop, target in FREIGHT_TABLE:
        s = iri(key)
        add(s, RDF_TYPE, ("iri", SKOS + "Concept"))
        add(s, SKOS + "inScheme", ("iri", FREIGHT + "scheme"))
        add(s, SKOS + "prefLabel", ("lit", en, "en"))
        add(s, SKOS + "prefLabel", ("lit", de, "de"))
        add(s, SKOS + prop, ("iri", iri(target)))
    # A mapping to a vocabulary outside the file: its target has no label here.
    add(iri("car"), SKOS + "exactMatch", ("iri", "http://example.net/other/automobiles"))
    # A concept without an English label, and one known only through a German label.
    add(BASE + "draisine", RDF_TYPE, ("iri", SKOS + "Concept"))
    add(BASE + "draisine", SKOS + "prefLabel", ("lit", "Draisine", "de"))
    add(BASE + "draisine", SKOS + "broader", ("iri", iri("railveh")))
    for key, prop, text, lang in ODDITIES:
        add(iri(key), SKOS + prop, ("lit", text, lang))

    write_turtle(triples, os.path.join(HERE, "transport.ttl"))
    write_ntriples(triples, os.path.join(HERE, "transport.nt"))


def escape(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def literal(o):
    return '"%s"%s' % (escape(o[1]), "@" + o[2] if o[2] else "")


def write_ntriples(triples, path):
    with open(path, "w", encoding="utf-8") as f:
        for s, p, o in triples:
            obj = "<%s>" % o[1] if o[0] == "iri" else literal(o)
            f.write("<%s> <%s> %s .\n" % (s, p, obj))


def write_turtle(triples, path):
    prefixes = [("skos", SKOS), ("t", BASE), ("fr", FREIGHT)]

    def name(x):
        if x == RDF_TYPE:
            return "a"
        for p, ns in prefixes:
            local = x[len(ns):]
            if x.startswith(ns) and local and all(c.isalnum() or c in "-_" for c in local):
                return "%s:%s" % (p, local)
        return "<%s>" % x

    subjects = {}
    for s, p, o in triples:
        subjects.setdefault(s, []).append((p, o))
    with open(path, "w", encoding="utf-8") as f:
        f.write("# A small thesaurus of transport in English and German, with a freight scheme\n")
        f.write("# mapped to it. Written by make_transport_vocabulary.py.\n")
        for p, ns in prefixes:
            f.write("@prefix %s: <%s> .\n" % (p, ns))
        for s, pos in subjects.items():
            f.write("\n%s\n" % name(s))
            lines = []
            for p, o in pos:
                obj = name(o[1]) if o[0] == "iri" else literal(o)
                lines.append("    %s %s" % (name(p), obj))
            f.write(" ;\n".join(lines) + " .\n")


if __name__ == "__main__":
    main()
