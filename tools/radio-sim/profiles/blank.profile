# A radio fresh from the factory: no ESN yet, no Regional ID yet.
# Program ESN and Program Regional ID both work on it.
name Blank radio

value 0  "TRX-450K"                     # Model Number
value 1  "7A4C001932"                   # Serial Number
value 2  00 00 00 00 00                 # ESN: blank
value 3  "R03.12.07"                    # Software Version
value 4  "CP04.20"                      # Codeplug Version
value 10 "2024-03-18"                   # Last Programmed
value 11 "TCP-4410A"                    # Codeplug Part No
value 12 "TFW-2207B"                    # Firmware Part No
value 14 02 11 05                       # Radio IC Versions
value 15 6B 3E 91 04 C2 7D 4A 18 9F 20 5C 0D E3 71 A8 46   # UUID
value 16 FF                             # Regional ID: 255, none defined
