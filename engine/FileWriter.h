#ifndef QUORIN_FILEWRITER_H
#define QUORIN_FILEWRITER_H

class DataFile;

// A sink for DataFiles.
class FileWriter {
public:
    virtual ~FileWriter();
    virtual void write(const DataFile& file) = 0;
};

// Writes a DataFile's bytes to the plain file named by its path.
class DiskFileWriter : public FileWriter {
public:
    ~DiskFileWriter() override;
    void write(const DataFile& file) override;
};

#endif
