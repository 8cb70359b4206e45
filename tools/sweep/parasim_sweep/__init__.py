"""Replicates and parameter sweeps of parasim runs: plan, run, resume, collect."""
