// Why a conversion job stopped short of the EPS file, named by the step that
// refused, or DONE when the step and every step before it did their part.
#pragma once

enum class JobStatus {
    DONE,
    // The request.
    NO_PICTURE,
    NO_PRINTER_NAME,
    NO_OUTPUT_PATH,
    OUTPUT_PATH_TOO_LONG,
    // The job's file and the printer's document.
    NO_DRIVER_FILE,        // no new file in the temporary folder
    NO_DEVICE,             // no printer of that name
    DOCUMENT_NOT_STARTED,  // StartDocA refused
    PAGE_NOT_PRINTED,      // StartPage or EndPage refused
    DOCUMENT_NOT_ENDED,    // EndDoc refused
    // The picture, not drawn.
    NO_METAFILE_HEADER,             // no bytes from the platform, or no header record first
    METAFILE_HEADER_NOT_PLAUSIBLE,  // a header record the header check refuses
    RECORD_CHAIN_BROKEN,            // records that do not tile the metafile
    DIB_REFUSED_BY_LAYOUT,          // a packed DIB its own block does not hold
    DIB_REFUSED_BY_PLATFORM,        // no bitmap made of the DIB
    NO_MEMORY_CONTEXT,              // no memory device context for a bitmap
    NOT_CLIPPED,                    // no clipping to the box
    // The EPS file, from the driver's document.
    DRIVER_WROTE_NOTHING,
    DOCUMENT_NOT_POSTSCRIPT,  // the driver wrote a PDF, an XPS or PCL stream
    EPS_NOT_WRITTEN,          // the document not rewritten into the output
};
