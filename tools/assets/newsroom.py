"""Invented newsroom vocabulary shared by the front pages and the spoken reports.
Every paper, person and place here is made up for this game."""

PAPERS = ["THE DAILY FLARE", "MORNING GLIMMER", "SUNDAY LUMEN", "THE EVENING BRAZIER",
          "THE WEEKLY BLAZE", "THE NIGHT BEACON", "DAILY SPARK", "THE GLOWSHEET"]

FIRST = ["Orla", "Baxter", "Ismay", "Corwin", "Delphine", "Rufus", "Tamsin", "Everard",
         "Philippa", "Lucan", "Morwenna", "Osric", "Verity", "Thaddeus", "Greer", "Anselm"]
LAST = ["Quenby", "Veltrane", "Pellisander", "Orrick", "Hathersage", "Drummock", "Kestell",
        "Wendlebury", "Farrowdale", "Ashgrove", "Mallender", "Tresillian", "Ventnell", "Crowhurst"]
ROLES = ["the editor", "the former editor", "the minister", "the chief inspector",
         "the private investigator", "the media owner", "the press officer", "the news desk chief",
         "the celebrity agent", "the chairman of the inquiry", "the royal correspondent",
         "the deputy commissioner"]
PLACES = ["Harrowgate Street", "the Brindle Court", "Saltmarsh House", "the old print works",
          "Farrowdale Square", "the Kestell building", "Wexcombe Crown Court", "the Lantern Street offices"]

HEADLINES = [
    "PHONE SECRETS EXPOSED", "WHO WAS LISTENING?", "INQUIRY SHOCK", "EDITOR QUITS",
    "THE TAPES THEY HID", "HACKED!", "SCANDAL DEEPENS", "NIGHT OF SHAME",
    "VOICEMAIL STORM", "TOP COP IN DOCK", "PAPER CLOSES", "WE ARE SORRY",
    "THE FULL STORY", "LIES, LIES, LIES", "DOORSTEP DRAMA", "SECRET FILES",
    "WHO KNEW?", "PRESS IN THE DOCK", "FURY AT HQ", "PAYMENTS PROBE",
    "SPY IN THE NEWSROOM", "ARRESTS AT DAWN", "THE COVER-UP", "TRUST SHATTERED",
    "MINISTER ON THE RACK", "BOSSES GRILLED", "ALL WILL BE REVEALED", "SHAME OF THE PRESS",
    "PRIVATE LIVES FOR SALE", "CHIEF ARRESTED", "NO MORE SECRETS", "STORM HITS HQ",
    "DAY OF RECKONING", "THE LAST EDITION", "LISTENING IN", "TRUTH WILL OUT",
    "HACK ATTACK", "PAID TO SPY", "CRISIS AT THE TOP", "THE INVESTIGATOR",
    "INQUIRY: DAY 40", "BLAGGED!", "WALL OF SILENCE", "EXCLUSIVE: THE NOTEBOOKS",
]

SUBHEADS = [
    "Messages were intercepted for years, court hears",
    "Staff knew and said nothing, say insiders",
    "Investigator's notebooks list thousands of numbers",
    "Police under fire over failed first inquiry",
    "Families demand answers as scandal grows",
    "Dawn raids on three addresses in the capital",
    "Owner faces committee of inquiry today",
    "Evidence destroyed, claims former reporter",
    "Secret payments to officials revealed",
    "Hundreds more victims expected to come forward",
]

SPOKEN_OPENERS = [
    "Good evening. Our top story tonight.",
    "This is the late bulletin.",
    "Breaking news just coming in to us.",
    "We interrupt this programme.",
    "You are listening to the hourly news.",
    "Here are the headlines at the top of the hour.",
    "Back to our main story now.",
    "We can go live now to our correspondent.",
]

SPOKEN_LINES = [
    "Police say the investigation into voicemail interception is widening tonight.",
    "{role} has resigned with immediate effect.",
    "{name} left {place} this morning without speaking to reporters.",
    "The inquiry heard that messages were listened to for more than six years.",
    "Sources close to {role} insist that nobody knew what was going on.",
    "A crowd of photographers has gathered outside {place}.",
    "{paper} will print its final edition on Sunday.",
    "The committee has asked {name} to return and give further evidence.",
    "Officers arrested a man at an address near {place} at six this morning.",
    "Documents seen by this programme suggest payments were made in cash.",
    "{name} said in a statement that the allegations were deeply shocking.",
    "Lawyers for the families say hundreds more people may have been targeted.",
    "The notebooks list names, numbers and pass codes, the court was told.",
    "There are calls tonight for {role} to step aside.",
    "Asked whether he regretted anything, {name} replied, no comment.",
    "Staff at {paper} were told of the closure in a short meeting this afternoon.",
    "The share price fell sharply as the scandal spread.",
    "We understand that {role} was questioned for nine hours.",
    "It is the biggest crisis the industry has faced in a generation.",
    "The first inquiry found nothing. Now the files have been opened again.",
    "Reporters were told to get the story, whatever it took.",
    "A spokesman for {paper} said the company was cooperating fully.",
    "Campaigners say the press can no longer be trusted to regulate itself.",
    "Outside {place}, the cameras are waiting.",
    "{name} was seen arriving at {place} shortly before midnight.",
    "Nobody has yet explained who ordered the deletions.",
    "The hearing has been adjourned until tomorrow morning.",
    "And we will have more on that story throughout the night.",
]

STUDIO_CHATTER = [
    "Can we go to the pictures from outside the court? Thank you.",
    "I think the question everybody is asking tonight is simply, who knew?",
    "Well, it is extraordinary, isn't it. Nobody saw this coming.",
    "Let me stop you there, because the public deserve an answer.",
    "We are just getting word that the statement has been delayed.",
    "Is this the end of the tabloid as we know it?",
    "I have been in this business thirty years and I have never seen anything like it.",
    "Stand by, we are going back to the studio.",
    "Are we still live? Yes. Good evening.",
    "That is all we have time for. Back to the newsroom.",
]

FINAL_SPEECH = ("The storm is over. The pictures fade, and the voices fall quiet, one by one. "
                "What was taken cannot be given back. Listen now, to the silence.")


def fill(template, r):
    """Fill the placeholders of a sentence with invented names, roles, places and papers."""
    name = "%s %s" % (FIRST[r.integers(len(FIRST))], LAST[r.integers(len(LAST))])
    paper = PAPERS[r.integers(len(PAPERS))].title()
    return template.format(name=name, role=ROLES[r.integers(len(ROLES))],
                           place=PLACES[r.integers(len(PLACES))], paper=paper)
