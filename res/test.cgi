#!/usr/bin/perl
print "Content-type: text/plain\n\n";
print 1;
