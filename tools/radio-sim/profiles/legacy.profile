# An older radio, from before software versions, programming dates, IC versions, UUIDs and
# Regional IDs were kept: it answers "not supported" for ids 3, 10, 14, 15 and 16, and so also
# for the Regional ID write. Its ESN is blank, so Program ESN works on it.
name Older radio

value 0  "TRX-300"                      # Model Number
value 1  "3C11000478"                   # Serial Number
value 2  00 00 00 00 00                 # ESN: blank
value 4  "CP01.07"                      # Codeplug Version
value 11 "TCP-2210B"                    # Codeplug Part No
value 12 "TFW-0915C"                    # Firmware Part No
unsupported 3 10 14 15 16
